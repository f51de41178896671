#pragma once
// _Tesvar as a C++ interface: the vtable that the type library's dual interface
// describes, slot for slot after the seven IDispatch slots. The type library is the
// reference for names and dispatch identifiers; this declaration must keep its order.
#include <windows.h>
#include <oaidl.h>

struct ITesvar : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Load_Key(BSTR 扇区, BSTR 键值, short* 数据缓冲, VARIANT_BOOL* 错误处理,
                                             BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Sav_Key(BSTR 扇区, BSTR 键值, BSTR 数据, VARIANT_BOOL* 错误处理,
                                            VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Dir扇区(BSTR 扇区, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Dir键值(BSTR 扇区, BSTR 键值, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Del扇区(BSTR 扇区) = 0;
  virtual HRESULT STDMETHODCALLTYPE Del键值(BSTR 扇区, BSTR 键值) = 0;
  virtual HRESULT STDMETHODCALLTYPE Del数据(BSTR 扇区, BSTR 键值) = 0;
  virtual HRESULT STDMETHODCALLTYPE NewFile(BSTR* nPathName, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Readme(VARIANT_BOOL* Show_S) = 0;
};

// {894CCAE2-B6BF-4F1E-A062-9342F38CF148}, tesvar::kInterfaceId
__CRT_UUID_DECL(ITesvar, 0x894CCAE2, 0xB6BF, 0x4F1E, 0xA0, 0x62, 0x93, 0x42, 0xF3, 0x8C, 0xF1, 0x48)
