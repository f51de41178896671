// Two cost comparisons, under Wine, each against a reference measured in the same run:
//
//  * the profile layers: our portable profile store against kernel32's profile
//    functions on a 1 MiB INI file of 1,300 sections of 20 keys: reading the first
//    key, reading the last key, writing one key;
//  * late binding: one Dir扇区 on a small file through IDispatch by name, as a script
//    host calls it (GetIDsOfNames, then Invoke), against the direct call of the core.
//
//   tesvar_ocx_bench Tesvar.ocx
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dispatch_call.h"
#include "profilectl/profile_store.h"
#include "profilectl/tesvar_core.h"
#include "support/temp_dir.h"
#include "text/codepage.h"
#include "wine/support/program.h"

namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

// Median over `rounds` of the mean time of `batch` calls, in microseconds.
double Measure(const std::function<void()>& call, int batch, int rounds = 7) {
  call();  // warm up
  std::vector<double> means;
  for (int r = 0; r < rounds; ++r) {
    const double start = Now();
    for (int i = 0; i < batch; ++i) call();
    means.push_back((Now() - start) * 1e6 / batch);
  }
  std::sort(means.begin(), means.end());
  return means[means.size() / 2];
}

std::string LargeIni() {
  std::string text;
  char line[64];
  for (int s = 0; s < 1300; ++s) {
    std::snprintf(line, sizeof line, "[section%04d]\r\n", s);
    text += line;
    for (int k = 0; k < 20; ++k) {
      std::snprintf(line, sizeof line, "key%02d=the value of key %02d in section %04d\r\n", k, k, s);
      text += line;
    }
  }
  return text;
}

class NoMessages final : public profilectl::MessageSink {
 public:
  void Show(std::u16string_view, std::u16string_view, int) override {}
};

void ProfileLayers(const testing_support::TempDir& dir) {
  const std::string content = LargeIni();
  std::printf("P2  profile layers on a %.2f MiB file of 1300 sections x 20 keys (microseconds per call)\n",
              content.size() / 1048576.0);
  std::printf("    %-20s %12s %12s %8s\n", "operation", "kernel32", "portable", "ratio");

  struct Layer {
    const char* name;
    std::unique_ptr<profilectl::ProfileStore> store;
    std::string file;
  };
  Layer layers[] = {{"kernel32", profilectl::MakeKernel32ProfileStore(), dir.Write("kernel32.ini", content)},
                    {"portable", profilectl::MakePortableProfileStore(), dir.Write("portable.ini", content)}};
  for (auto& layer : layers) layer.file = text::ToAnsi(std::u16string(layer.file.begin(), layer.file.end()));

  int counter = 0;
  const struct {
    const char* name;
    int batch;
    std::function<void(Layer&)> call;
  } operations[] = {
      {"read first key", 200, [](Layer& l) { l.store->Read(l.file, "section0000", "key00", 256); }},
      {"read last key", 200, [](Layer& l) { l.store->Read(l.file, "section1299", "key19", 256); }},
      {"write one key", 10,
       [&counter](Layer& l) { l.store->Write(l.file, "section0650", "key10", "changed " + std::to_string(++counter)); }},
  };
  for (const auto& op : operations) {
    double us[2];
    for (int i = 0; i < 2; ++i) us[i] = Measure([&] { op.call(layers[i]); }, op.batch);
    std::printf("    %-20s %12.1f %12.1f %7.1fx\n", op.name, us[0], us[1], us[0] / us[1]);
  }
  // Both layers must still agree on what the file holds.
  const std::string a = layers[0].store->Read(layers[0].file, "section0650", "key10", 256);
  const std::string b = layers[1].store->Read(layers[1].file, "section0650", "key10", 256);
  if (a.rfind("changed ", 0) != 0 || b.rfind("changed ", 0) != 0) std::printf("    WARNING: the writes did not land\n");
}

void LateBinding(const testing_support::TempDir& dir) {
  const std::string file = dir.Write("small.ini", "[main]\r\na=1\r\nb=2\r\n[other]\r\nc=3\r\n");
  const std::u16string file16(file.begin(), file.end());

  auto store = profilectl::MakeKernel32ProfileStore();
  NoMessages messages;
  profilectl::TesvarCore core(*store, messages);
  core.SetFileName(file16);

  auto dispatch = ocx_test::CreateControl<IDispatch>();
  if (!dispatch) {
    std::printf("P5  the control could not be created from %ls\n", ocx_test::OcxPath().c_str());
    return;
  }
  ocx_test::Invocation(dispatch.get(), ocx_test::members::kFileName, {ocx_test::Text(wine_test::Wide(file16))},
                       DISPATCH_PROPERTYPUT);

  bool direct = false, late = false;
  const double directUs = Measure([&] { direct = core.Dir扇区(u"other").value_or(false); }, 2000);
  VARIANT section = ocx_test::Text(L"other");
  VARIANT byRef = ocx_test::RefTo(&section);  // a script variable
  const double lateUs = Measure(
      [&] {
        LPOLESTR name = const_cast<LPOLESTR>(L"Dir扇区");
        DISPID id = 0;
        dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        DISPPARAMS params{&byRef, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                         nullptr, nullptr);
        late = V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE;
        VariantClear(&result);
      },
      2000);
  VariantClear(&section);
  std::printf("P5  one Dir扇区 on a small file (microseconds per call)\n");
  std::printf("    direct core call %10.2f\n    IDispatch by name %9.2f   ratio %.2fx%s\n", directUs, lateUs,
              lateUs / directUs, direct && late ? "" : "   WARNING: a call did not find the section");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tesvar_ocx_bench Tesvar.ocx\n");
    return 64;
  }
  ocx_test::SetOcxPath(wine_test::WindowsPath(argv[1]));
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  {
    testing_support::TempDir dir;
    ProfileLayers(dir);
    LateBinding(dir);
  }
  CoUninitialize();
  return 0;
}
