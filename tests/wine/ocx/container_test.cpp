// A container hosting the control as a form does: client site first, in-place
// activation in a window, the fixed 510 x 510 twips size, saving and loading, drawing
// at design time, the about form, and the server unloading once all is released; and
// hosted by Wine's own ATL container, as a form of a series program hosts it.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "atl_container.h"
#include "dispatch_call.h"
#include "expected_identity.h"
#include "ocx_under_test.h"
#include "tesvar_interface.h"
#include "win32/screen.h"
#include "wine/support/ui.h"

namespace {

using ocx_test::CreateControl;
using ocx_test::LoadedServer;

int Pixels(int twips) { return MulDiv(twips, win::ScreenDpi(), 1440); }

// The container's side of one control: client site, in-place site and ambient
// properties. Lives on the stack; its count tells whether the control let it go.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IDispatch {
 public:
  Site(HWND window, bool userMode) : window_(window), userMode_(userMode) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** m) override { return *m = nullptr, E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override { return *c = nullptr, E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP GetWindow(HWND* w) override { return *w = window_, S_OK; }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return activations++, S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *pos = position;
    *clip = position;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return deactivations++, S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT pos) override { return changes.push_back(*pos), S_OK; }

  // IDispatch: the ambient properties.
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  RECT position{10, 10, 210, 110};
  std::vector<RECT> changes;
  int activations = 0, deactivations = 0;
  ULONG references = 0;

 private:
  HWND window_;
  bool userMode_;
};

// One form for the whole suite: showing a top-level window costs Wine a while.
class Container : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    form_ = CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 480, 320,
                            nullptr, nullptr, nullptr, nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(form_); }
  void SetUp() override { ASSERT_TRUE(form_); }
  void TearDown() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

  static inline HWND form_ = nullptr;
};

TEST_F(Container, InPlaceActivationKeepsTheFixedSize) {
  Site site(form_, /*userMode=*/false);
  {
    auto ole = CreateControl<IOleObject>();
    ASSERT_TRUE(ole);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, expected::kMiscStatus);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(ole.query<IPersistStreamInit>()->InitNew(), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form_, &site.position), S_OK);
    EXPECT_EQ(site.activations, 1);

    HWND window = nullptr;
    ASSERT_EQ(ole.query<IOleInPlaceObject>()->GetWindow(&window), S_OK);
    EXPECT_EQ(GetParent(window), form_);
    EXPECT_TRUE(IsWindowVisible(window)) << "a form designer shows the control";
    const int side = Pixels(510);
    RECT r = wine_test::RectInParent(window);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right - r.left, side);
    EXPECT_EQ(r.bottom - r.top, side);
    ASSERT_FALSE(site.changes.empty()) << "the site hears that the control kept its size";
    EXPECT_EQ(site.changes.back().right - site.changes.back().left, side);

    // A form designer resizes the control: it snaps back to 510 x 510 twips.
    SIZEL asked{5000, 3000};
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &asked), S_OK);
    SIZEL extent{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(MulDiv(extent.cx, 1440, 2540), 510);
    EXPECT_EQ(MulDiv(extent.cy, 1440, 2540), 510);
    const RECT larger{40, 30, 400, 260};
    ASSERT_EQ(ole.query<IOleInPlaceObject>()->SetObjectRects(&larger, &larger), S_OK);
    r = wine_test::RectInParent(window);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, side);
    EXPECT_EQ(r.bottom - r.top, side);

    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(site.deactivations, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
  }
  EXPECT_EQ(site.references, 0u) << "the control released its site";
  EXPECT_EQ(LoadedServer().canUnloadNow(), S_OK);
}

TEST_F(Container, IsInvisibleAtRunTime) {
  Site site(form_, /*userMode=*/true);
  auto ole = CreateControl<IOleObject>();
  ASSERT_TRUE(ole);
  ASSERT_EQ(ole->SetClientSite(&site), S_OK);
  ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form_, &site.position), S_OK);
  HWND window = nullptr;
  ASSERT_EQ(ole.query<IOleInPlaceObject>()->GetWindow(&window), S_OK);
  EXPECT_FALSE(IsWindowVisible(window));
  ole->Close(OLECLOSE_NOSAVE);
  ole->SetClientSite(nullptr);
}

TEST_F(Container, SavesAndLoadsWithoutPersistingAnything) {
  auto first = CreateControl<IPersistStreamInit>();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->InitNew(), S_OK);
  EXPECT_EQ(first->InitNew(), E_UNEXPECTED) << "a control is initialized once";
  ASSERT_EQ(first.query<ITesvar>()->put_FileName(win::make_bstr(L"a.ini").get()), S_OK);
  CLSID clsid{};
  ASSERT_EQ(first->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, expected::kClassId);
  EXPECT_EQ(first->IsDirty(), S_FALSE);

  win::com_ptr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ASSERT_EQ(first->Save(stream.get(), TRUE), S_OK);
  ULARGE_INTEGER max{};
  ASSERT_EQ(first->GetSizeMax(&max), S_OK);
  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_LE(stat.cbSize.QuadPart, max.QuadPart);

  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  auto second = CreateControl<IPersistStreamInit>();
  ASSERT_EQ(second->Load(stream.get()), S_OK);
  win::unique_bstr name;
  ASSERT_EQ(second.query<ITesvar>()->get_FileName(name.put()), S_OK);
  EXPECT_EQ(SysStringLen(name.get()), 0u) << "FileName is not saved with the form";

  auto bag = second.query<IPersistPropertyBag>();
  ASSERT_TRUE(bag);
  EXPECT_EQ(bag->InitNew(), E_UNEXPECTED) << "already loaded";
}

TEST_F(Container, DrawsItsIconAtDesignTime) {
  auto view = CreateControl<IOleObject>().query<IViewObject2>();
  ASSERT_TRUE(view);
  SIZEL extent{};
  ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
  EXPECT_EQ(MulDiv(extent.cx, 1440, 2540), 510);

  wine_test::Canvas canvas(34, 34);
  canvas.Fill(WHITE_BRUSH);
  const RECTL bounds{0, 0, 34, 34};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
            S_OK);
  int navy = 0, black = 0;
  for (int y = 0; y < 34; ++y) {
    for (int x = 0; x < 34; ++x) {
      const COLORREF c = canvas.At(x, y);
      navy += c == RGB(0, 0, 128);
      black += c == RGB(0, 0, 0);
    }
  }
  EXPECT_GT(navy, 20) << "the section header bar of the icon";
  EXPECT_GT(black, 60) << "the sheet's outline";
  EXPECT_EQ(view->Draw(DVASPECT_ICON + 100, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
}

TEST_F(Container, NamesItsClassAndOffersTheEmptyEventSource) {
  auto control = CreateControl<IOleObject>();
  auto info = control.query<IProvideClassInfo2>();
  ASSERT_TRUE(info);
  GUID events{};
  ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_EQ(events, expected::kEventsId);
  win::com_ptr<ITypeInfo> coclass;
  ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
  {
    win::unique_typeattr attr(coclass.get());
    ASSERT_EQ(coclass->GetTypeAttr(attr.put()), S_OK);
    EXPECT_EQ(attr->guid, expected::kClassId);
  }

  auto container = control.query<IConnectionPointContainer>();
  ASSERT_TRUE(container);
  win::com_ptr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(expected::kEventsId, point.put()), S_OK);
  win::com_ptr<IConnectionPoint> other;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, other.put()), CONNECT_E_NOCONNECTION);
  DWORD cookie = 0;
  Site sink(form_, true);  // any IDispatch can listen to an interface without events
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);

  win::com_ptr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  IConnectionPoint* found[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(found[0], point.get());
  found[0]->Release();
  point.reset();
  points.reset();
  EXPECT_EQ(sink.references, 0u);
}

BOOL CALLBACK CollectAboutForms(HWND window, LPARAM found) {
  if (wine_test::ClassName(window) == L"TesvarAboutForm") reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::vector<HWND> AboutForms() {
  std::vector<HWND> forms;
  EnumThreadWindows(GetCurrentThreadId(), CollectAboutForms, reinterpret_cast<LPARAM>(&forms));
  return forms;
}

TEST_F(Container, ReadmeShowsOneModelessAboutFormPerThread) {
  {
    auto control = CreateControl<ITesvar>();
    ASSERT_TRUE(control);
    VARIANT_BOOL modeless = VARIANT_FALSE;
    ASSERT_EQ(control->Readme(&modeless), S_OK) << "returns at once";
    ASSERT_EQ(control->Readme(&modeless), S_OK);
    ASSERT_EQ(AboutForms().size(), 1u) << "one shared instance";
  }
  HWND form = AboutForms().at(0);
  EXPECT_TRUE(IsWindowVisible(form));
  EXPECT_EQ(wine_test::WindowText(form), L"关于..");
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, Pixels(5160));
  EXPECT_EQ(client.bottom, Pixels(2775));
  HWND ok = GetDlgItem(form, IDOK);
  ASSERT_TRUE(ok);
  EXPECT_EQ(wine_test::WindowText(ok), L"&OK");
  const RECT button = wine_test::RectInParent(ok);
  EXPECT_EQ(button.left, Pixels(3780));
  EXPECT_EQ(button.top, Pixels(2280));

  EXPECT_EQ(LoadedServer().canUnloadNow(), S_FALSE) << "an open about form keeps the server";
  SendMessageW(ok, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindow(form));
  EXPECT_TRUE(AboutForms().empty());
  EXPECT_EQ(LoadedServer().canUnloadNow(), S_OK);
}

// A host of the control in Wine's ATL container: the container window creates the
// control, the host calls it by its members' names, shows and closes the about form
// when asked to, releases its pointers and destroys the window. The control then lives
// exactly as long as a plain control of the test's own that holds nothing: what both
// still have after the container is gone is the container's, and once that is given
// back the server can unload. The classes are registered for the apartment, so the
// container's window names each by its CLSID (the ProgID would only be looked up in the
// registry).
//
// Wine 8's 32-bit atl100 stops in its pixel to HIMETRIC conversion, which divides by the
// screen's pixels per inch, and GDI gives a 32-bit process under Wine's WoW64 mode none:
// the container then neither activates the control nor releases the reference that
// creating it took, whichever control it hosts. The test tells that case by the plain
// control and by the screen, and expects both controls to be left alike.
TEST_F(Container, AtlContainerLetsTheControlGoAsAPlainControl) {
  std::optional<ocx_test::RegisteredClass> tesvar(std::in_place, expected::kClassId, ocx_test::ServerFactory().get());
  const ocx_test::RegisteredClass plain(ocx_test::kPlainControlId, ocx_test::PlainControlFactory().get());
  ASSERT_TRUE(*tesvar && plain);
  ASSERT_TRUE(ocx_test::Atl().initialized) << "atl100.dll and AtlAxWinInit";

  std::vector<ocx_test::HostedLife> lives;
  lives.push_back(ocx_test::HostInContainer(form_, ocx_test::kPlainControlId, [](IUnknown*) {}));
  const ocx_test::HostedLife reference = lives.front();
  ASSERT_TRUE(reference.created);
  const bool activated = ocx_test::PlainControls().inPlaceActivations == 1;
  std::printf("the container activated the plain control: %s; the screen's pixels per inch: %d; left to the "
              "container: %lu\n",
              activated ? "yes" : "no", ocx_test::ScreenPixelsPerInch(),
              static_cast<unsigned long>(reference.leftAfterContainer));
  if (activated) {
    EXPECT_EQ(reference.leftAfterContainer, 0u) << "the container keeps a plain control";
  } else {
    EXPECT_EQ(ocx_test::ScreenPixelsPerInch(), 0) << "the container stopped for another reason";
  }

  testing_support::TempDir dir;
  const std::wstring file = wine_test::WideFromUtf8(dir.Write("settings.ini", ocx_test::kContent));
  for (const bool readme : {false, true}) {
    SCOPED_TRACE(readme ? "with the about form" : "without the about form");
    lives.push_back(ocx_test::HostInContainer(form_, expected::kClassId, [&](IUnknown* control) {
      if (activated) {
        HWND window = nullptr;
        win::com_ptr<IUnknown> unknown(control);
        ASSERT_EQ(unknown.query<IOleInPlaceObject>()->GetWindow(&window), S_OK) << "active in place";
        EXPECT_FALSE(IsWindowVisible(window)) << "invisible at run time";
      }
      win::com_ptr<IDispatch> host = win::com_ptr<IUnknown>(control).query<IDispatch>();
      ASSERT_TRUE(host);
      const auto id = [&](const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID found = DISPID_UNKNOWN;
        host->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found);
        return found;
      };
      using ocx_test::Invocation;
      EXPECT_EQ(Invocation(host.get(), id(L"FileName"), {ocx_test::Text(file)}, DISPATCH_PROPERTYPUT).status, S_OK);
      EXPECT_EQ(ocx_test::Outcome(Invocation(host.get(), id(L"Dir扇区"), {ocx_test::Text(L"常规")})), L"True");
      if (readme) {
        EXPECT_EQ(ocx_test::Outcome(Invocation(host.get(), id(L"Readme"), {ocx_test::Boolean(false)})), L"done");
        const std::vector<HWND> forms = AboutForms();
        ASSERT_EQ(forms.size(), 1u);
        SendMessageW(GetDlgItem(forms[0], IDOK), BM_CLICK, 0, 0);
      }
    }));
    const ocx_test::HostedLife& life = lives.back();
    ASSERT_TRUE(life.created);
    EXPECT_EQ(life.leftAfterContainer, reference.leftAfterContainer) << "references beyond the container's";
  }

  // What the container kept is given back: then nothing of either control is alive.
  for (const ocx_test::HostedLife& life : lives) {
    if (life.leftAfterContainer != reference.leftAfterContainer) continue;  // failed above; left alone
    for (ULONG n = 0; n < life.leftAfterContainer; ++n) life.stillAlive->Release();
  }
  EXPECT_EQ(ocx_test::PlainControls().alive, 0);
  EXPECT_TRUE(AboutForms().empty());
  tesvar.reset();  // its class object holds the server too
  EXPECT_EQ(LoadedServer().canUnloadNow(), S_OK);
}

}  // namespace
