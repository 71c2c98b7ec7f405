// The IMAPI2 backend against fake IMAPI2 objects that record the calls made to them: drives,
// their media and capabilities, and the write with its events. (IMAPI2 itself cannot run
// here: neither Wine nor the build's SDK has it.)
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DiscTestSupport.h"
#include "disc/Engine.h"
#include "discwriter/Imapi2Com.h"
#include "discwriter/Imapi2Drives.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using com::Object;
using com::Variant;
using Args = std::vector<Variant>;

// An IDispatch whose properties and methods are set by the test; every call is logged.
class FakeObject final : public IDispatch {
 public:
  using Method = std::function<HRESULT(const Args& args, Variant* result)>;

  FakeObject(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}

  std::map<std::wstring, Variant> properties;
  std::map<std::wstring, Method> methods;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    auto found = std::find(names_.begin(), names_.end(), std::wstring(names[0]));
    if (found == names_.end()) found = names_.insert(names_.end(), names[0]);
    *ids = static_cast<DISPID>(found - names_.begin()) + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    const std::wstring& name = names_.at(static_cast<std::size_t>(id - 1));
    const std::string narrow(name.begin(), name.end());
    Args args;
    for (UINT i = params->cArgs; i > 0; --i) {
      args.emplace_back();
      VariantCopy(args.back().get(), &params->rgvarg[i - 1]);
    }
    if (flags == DISPATCH_PROPERTYPUT) {
      std::string value = args[0].raw().vt == VT_DISPATCH ? "object" : std::to_string(args[0].AsLong());
      log_->push_back(name_ + ".put " + narrow + "=" + value);
      properties[name] = args[0];
      return S_OK;
    }
    if (auto method = methods.find(name); method != methods.end()) {
      log_->push_back(name_ + "." + narrow + "()");
      Variant out;
      HRESULT hr = method->second(args, &out);
      if (result) VariantCopy(result, out.get());
      return hr;
    }
    auto property = properties.find(name);
    if (property == properties.end()) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantCopy(result, const_cast<VARIANT*>(&property->second.raw()));
    return S_OK;
  }

 private:
  std::string name_;
  std::vector<std::string>* log_;
  std::vector<std::wstring> names_;
  ULONG references_ = 1;
};

// A SAFEARRAY of VARIANTs, as IMAPI2 hands out its lists.
template <typename T>
Variant ArrayOf(const std::vector<T>& values) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    Variant element(values[i]);
    SafeArrayPutElement(array, &i, element.get());
  }
  Variant v;
  v.get()->vt = VT_ARRAY | VT_VARIANT;
  v.get()->parray = array;
  return v;
}

FakeObject::Method Answer(HRESULT hr, Variant value = Variant()) {
  return [hr, value](const Args&, Variant* out) {
    *out = value;
    return hr;
  };
}

class Imapi2BackendTest : public ::testing::Test {
 protected:
  Imapi2BackendTest() : saved_(com::CurrentServices()) {
    master_->properties = {{L"Count", Variant(1L)}, {L"IsSupportedEnvironment", Variant(true)}};
    master_->methods[L"Item"] = Answer(S_OK, Variant(L"\\\\?\\drive0"));
    recorder_->properties = {{L"VendorId", Variant(L"HL-DT-ST")},
                             {L"ProductId", Variant(L"DVDRAM GH24NS  ")},
                             {L"VolumePathNames", ArrayOf<const wchar_t*>({L"E:\\"})},
                             {L"SupportedProfiles", ArrayOf<long>({0x09, 0x0A, 0x11, 0x14, 0x1A, 0x1B})}};
    for (const wchar_t* method : {L"InitializeDiscRecorder", L"EjectMedia"}) recorder_->methods[method] = Answer(S_OK);
    format_->methods[L"IsRecorderSupported"] = Answer(S_OK, Variant(true));
    format_->methods[L"IsCurrentMediaSupported"] = [this](const Args&, Variant* out) {
      *out = Variant(mediaSupported_);
      return S_OK;
    };
    format_->properties = {{L"CurrentPhysicalMediaType", Variant(0x6L)},  // DVD+R
                           {L"CurrentMediaStatus", Variant(0x2L)},        // blank
                           {L"FreeSectorsOnMedia", Variant(2295104L)},
                           {L"SupportedWriteSpeeds", ArrayOf<long>({5410, 10820})}};
    format_->methods[L"SetWriteSpeed"] = Answer(S_OK);
    erase_->properties[L"SupportedMediaTypes"] = ArrayOf<long>({0x3, 0xA});  // CD-RW, DVD-RW

    com::Services services;
    services.create = [this](const wchar_t* progId) {
      const std::map<std::wstring, FakeObject*> made = {{L"IMAPI2.MsftDiscMaster2", master_},
                                                        {L"IMAPI2.MsftDiscRecorder2", recorder_},
                                                        {L"IMAPI2.MsftDiscFormat2Data", format_},
                                                        {L"IMAPI2.MsftDiscFormat2Erase", erase_}};
      auto found = made.find(progId);
      return found == made.end() || !registered_ ? Object() : Object(found->second);
    };
    services.advise = [this](const Object&, IDispatch* sink) -> DWORD {
      sink_ = sink;
      return 7;
    };
    services.unadvise = [this](const Object&, DWORD cookie) { log_.push_back("unadvise " + std::to_string(cookie)); };
    com::CurrentServices() = services;
    engine_->AddListener(&events_);
    engine_->Initialize(false);
  }
  ~Imapi2BackendTest() override {
    engine_.reset();
    com::CurrentServices() = saved_;
    for (FakeObject* o : {master_, recorder_, format_, erase_}) o->Release();
  }

  DiscDevice& Drive() {
    EXPECT_EQ(engine_->DeviceCount(), 2);
    return *engine_->Device(0);
  }
  // Raises the data format's Update event, as IMAPI2 does during a write: the format and a
  // progress object at an action, a quarter of the way.
  void Progress(long action) {
    ASSERT_NE(sink_, nullptr);
    auto* progress = new FakeObject("progress", &log_);
    progress->properties = {{L"CurrentAction", Variant(action)},
                            {L"StartLba", Variant(0L)},
                            {L"SectorCount", Variant(40L)},
                            {L"LastWrittenLba", Variant(10L)}};
    Variant sender(static_cast<IUnknown*>(format_), true), update(static_cast<IUnknown*>(progress), true);
    progress->Release();
    VARIANT args[] = {*update.get(), *sender.get()};  // DISPPARAMS holds the arguments last first
    DISPPARAMS params = {args, nullptr, 2, 0};
    sink_->Invoke(0x200, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  bool Logged(const std::string& entry) { return std::find(log_.begin(), log_.end(), entry) != log_.end(); }
  void Write() {
    events_.errors.clear();
    ASSERT_TRUE(engine_->Writer().StartWrite(Drive()));
    engine_->RunPending();
  }

  com::Services saved_;
  std::vector<std::string> log_;
  FakeObject* master_ = new FakeObject("master", &log_);
  FakeObject* recorder_ = new FakeObject("recorder", &log_);
  FakeObject* format_ = new FakeObject("data", &log_);
  FakeObject* erase_ = new FakeObject("erase", &log_);
  IDispatch* sink_ = nullptr;
  bool registered_ = true;
  bool mediaSupported_ = true;
  testing::TempFolder dir_;
  testing::RecordingListener events_;
  std::unique_ptr<Engine> engine_ = std::make_unique<Engine>(FindImapi2Drives);
};

TEST_F(Imapi2BackendTest, DrivesTheirMediaAndWhatTheyErase) {
  DiscDevice& drive = Drive();
  EXPECT_EQ(drive.Name(), "HL-DT-ST DVDRAM GH24NS (E:)");
  EXPECT_TRUE(drive.IsSupported() && !drive.WritesImageFile());
  EXPECT_TRUE(engine_->Device(1)->WritesImageFile());  // the image file drive comes last
  const struct {
    long physical, state;
    bool supported;
    MediaInfo expected;
  } cases[] = {
      {0x0, 0x0, false, {kMediaNone, false, false}},      {0x2, 0x2, true, {kMediaCdR, true, false}},
      {0x3, 0x4, true, {kMediaCdRw, false, true}},      // appendable only: our image starts at sector 0
      {0x7, 0x1, true, {kMediaDvdPlusRw, true, true}},  // overwritten in place
      {0xA, 0x2, true, {kMediaDvdMinusRw, true, true}},   {0x5, 0x2, true, {kMediaDvdRam, true, true}},
      {0x13, 0x2, true, {kMediaBdRe, true, true}},        {0x6, 0x2 | 0x2000, true, {kMediaDvdPlusR, false, false}},
      {0x9, 0x2, false, {kMediaDvdMinusR, false, false}}, {0xE, 0x2, true, {kMediaOther, true, false}},
  };
  for (const auto& c : cases) {
    format_->properties[L"CurrentPhysicalMediaType"] = Variant(c.physical);
    format_->properties[L"CurrentMediaStatus"] = Variant(c.state);
    mediaSupported_ = c.supported;
    drive.RefreshMedia(true);
    const MediaInfo media = drive.Media();
    EXPECT_EQ(std::tuple(media.MediaType, media.IsWritable, media.IsRewritable),
              std::tuple(c.expected.MediaType, c.expected.IsWritable, c.expected.IsRewritable))
        << c.physical;
  }
  EXPECT_EQ(drive.FreeBlocks(true), 2295104);
  // The drive writes CD-RW and DVD-RW/DVD+RW; the erase format takes CD-RW and DVD-RW.
  std::vector<bool> has;
  for (int code :
       {kCapBufferProtect, kCapEraseCdRw, kCapEraseDvdMinusRw, kCapEraseDvdPlusRw, kCapEraseDvdRam, kCapEraseBdRe}) {
    has.push_back(drive.HasCapability(code));
  }
  EXPECT_EQ(has, (std::vector<bool>{true, true, true, false, false, false}));

  registered_ = false;  // no IMAPI2, or an environment it does not support: no drives of its own
  engine_->Initialize(false);
  EXPECT_EQ(engine_->DeviceCount(), 1);
  registered_ = true;
  master_->properties[L"IsSupportedEnvironment"] = Variant(false);
  engine_->Initialize(false);
  EXPECT_EQ(engine_->DeviceCount(), 1);
}

TEST_F(Imapi2BackendTest, AWriteHandsTheSettingsAndTheImageToIMAPI2AndReportsItsProgress) {
  testing::MakePatternFile(dir_.File("backup.soe"), 50000, 5);
  engine_->Writer().Root().AddFile(dir_.File("backup.soe"), "\\backup.soe");
  WriterSettings& settings = engine_->Writer().Settings();
  settings.FileSystem = kFsIsoJoliet;
  settings.WriteSpeed = 10820;
  settings.FinalizeDisc = true;
  settings.BufferProtect = true;
  std::string image;  // what IMAPI2 was given to write
  format_->methods[L"Write"] = [&](const Args& args, Variant*) {
    IStream* stream = nullptr;
    args[0].raw().punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    image.resize(stat.cbSize.QuadPart);
    ULONG read = 0;
    stream->Read(image.data(), static_cast<ULONG>(image.size()), &read);
    image.resize(read);
    stream->Release();
    Progress(4);
    Progress(5);
    return S_OK;
  };
  Write();
  EXPECT_TRUE(events_.errors.empty());
  EXPECT_EQ(events_.statuses, (std::vector<int>{kWritePreparing, kWriteWriting, kWriteClosingTrack, kWriteDone}));
  ASSERT_EQ(image.size() % 2048, 0u);
  EXPECT_EQ(image.substr(16 * 2048 + 1, 5), "CD001");
  EXPECT_NE(image.find(testing::ReadFileBytes(dir_.File("backup.soe"))), std::string::npos);
  for (const char* call : {"data.put ForceMediaToBeClosed=-1", "data.put BufferUnderrunFreeDisabled=0",
                           "data.SetWriteSpeed()", "data.Write()", "unadvise 7"}) {
    EXPECT_TRUE(Logged(call)) << call;
  }
  EXPECT_GT(events_.inputBreaks, 0);
}

TEST_F(Imapi2BackendTest, WhatIMAPI2CannotDoIsAWriteErrorAndItsFailuresAreDeviceErrors) {
  format_->methods[L"Write"] = Answer(static_cast<HRESULT>(0xC0AA0204));
  const struct {
    void (*set)(WriterSettings&);
    int category;
    const char* words;  // in the error's text, or a device error's first detail
  } cases[] = {
      {[](WriterSettings& s) { s.TestWrite = true; }, kErrorWrite, "test write"},
      {[](WriterSettings& s) { s.WriteMode = kWriteModeDiscAtOnce; }, kErrorWrite, "disc-at-once"},
      {[](WriterSettings&) {}, kErrorDevice, "Write 0xC0AA0204"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    engine_->Writer().Settings() = WriterSettings{};
    engine_->Writer().Settings().FileSystem = kFsIsoJoliet;
    c.set(engine_->Writer().Settings());
    Write();
    ASSERT_EQ(events_.errors.size(), 1u);
    const EngineErrorInfo& error = events_.errors[0];
    EXPECT_EQ(error.Category, c.category);
    EXPECT_NE((error.Text + "|" + error.DeviceDetail.DetailA).find(c.words), std::string::npos) << error.Text;
    EXPECT_EQ(events_.statuses.back(), kWriteFailed);
    EXPECT_EQ(Logged("data.Write()"), c.category == kErrorDevice);  // refused before IMAPI2 is asked
  }
}

}  // namespace
}  // namespace quarnel::disc
