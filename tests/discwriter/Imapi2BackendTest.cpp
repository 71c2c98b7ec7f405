// The IMAPI2 backend against fake IMAPI2 objects that record the calls made to them: drives,
// media, capabilities, the write and the erase with their events. (IMAPI2 itself cannot run
// here: neither Wine nor the build's SDK has it.)
#include <gtest/gtest.h>

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

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// An IDispatch whose properties and methods are set by the test; every call is logged.
class FakeObject final : public IDispatch {
 public:
  using Method = std::function<HRESULT(const std::vector<Variant>& args, Variant* result)>;

  explicit FakeObject(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}

  std::map<std::wstring, Variant> properties;
  std::map<std::wstring, Method> methods;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    std::wstring name = names[0];
    auto found = std::find(names_.begin(), names_.end(), name);
    if (found == names_.end()) found = names_.insert(names_.end(), name);
    *ids = static_cast<DISPID>(found - names_.begin()) + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    std::wstring name = names_.at(static_cast<std::size_t>(id - 1));
    std::vector<Variant> args;
    for (UINT i = params->cArgs; i > 0; --i) {
      Variant copy;
      VariantCopy(copy.get(), &params->rgvarg[i - 1]);
      args.push_back(copy);
    }
    if (flags == DISPATCH_PROPERTYPUT) {
      std::string value = args[0].raw().vt == VT_DISPATCH ? "object" : std::to_string(args[0].AsLong());
      log_->push_back(name_ + ".put " + Narrow(name) + "=" + value);
      properties[name] = args[0];
      return S_OK;
    }
    auto method = methods.find(name);
    if (method != methods.end()) {
      log_->push_back(name_ + "." + Narrow(name) + "()");
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
Variant LongArray(const std::vector<long>& values) { return ArrayOf(values); }
Variant TextArray(const std::vector<const wchar_t*>& values) { return ArrayOf(values); }

class Imapi2BackendTest : public ::testing::Test {
 protected:
  Imapi2BackendTest() : saved_(com::CurrentServices()) {
    master_ = Make("master");
    master_->properties[L"Count"] = Variant(1L);
    master_->properties[L"IsSupportedEnvironment"] = Variant(true);
    master_->methods[L"Item"] = [](const std::vector<Variant>& args, Variant* out) {
      *out = Variant(L"\\\\?\\drive0");
      return S_OK;
    };
    recorder_ = Make("recorder");
    recorder_->properties[L"VendorId"] = Variant(L"HL-DT-ST");
    recorder_->properties[L"ProductId"] = Variant(L"DVDRAM GH24NS  ");
    recorder_->properties[L"VolumePathNames"] = TextArray({L"E:\\"});
    recorder_->properties[L"SupportedProfiles"] = LongArray({0x09, 0x0A, 0x11, 0x14, 0x1A, 0x1B});
    recorder_->methods[L"InitializeDiscRecorder"] = [](const std::vector<Variant>&, Variant*) { return S_OK; };
    recorder_->methods[L"EjectMedia"] = [](const std::vector<Variant>&, Variant*) { return S_OK; };
    format_ = Make("data");
    format_->methods[L"IsRecorderSupported"] = [](const std::vector<Variant>&, Variant* out) {
      *out = Variant(true);
      return S_OK;
    };
    format_->methods[L"IsCurrentMediaSupported"] = [this](const std::vector<Variant>&, Variant* out) {
      *out = Variant(mediaSupported_);
      return S_OK;
    };
    format_->properties[L"CurrentPhysicalMediaType"] = Variant(0x6L);  // DVD+R
    format_->properties[L"CurrentMediaStatus"] = Variant(0x2L);        // blank
    format_->properties[L"FreeSectorsOnMedia"] = Variant(2295104L);
    format_->properties[L"SupportedWriteSpeeds"] = LongArray({5410, 10820});
    format_->methods[L"SetWriteSpeed"] = [](const std::vector<Variant>&, Variant*) { return S_OK; };
    format_->methods[L"CancelWrite"] = [](const std::vector<Variant>&, Variant*) { return S_OK; };
    erase_ = Make("erase");
    erase_->properties[L"SupportedMediaTypes"] = LongArray({0x3, 0xA});  // CD-RW, DVD-RW

    com::Services services;
    services.create = [this](const wchar_t* progId) {
      std::wstring id = progId;
      FakeObject* made = id == L"IMAPI2.MsftDiscMaster2"        ? master_
                         : id == L"IMAPI2.MsftDiscRecorder2"    ? recorder_
                         : id == L"IMAPI2.MsftDiscFormat2Data"  ? format_
                         : id == L"IMAPI2.MsftDiscFormat2Erase" ? erase_
                                                                : nullptr;
      if (made == nullptr || !registered_) return Object();
      return Object(made);
    };
    services.advise = [this](const Object& source, IDispatch* sink) -> DWORD {
      sink_ = sink;
      log_.push_back("advise");
      return 7;
    };
    services.unadvise = [this](const Object&, DWORD cookie) {
      sink_ = nullptr;
      log_.push_back("unadvise " + std::to_string(cookie));
    };
    com::CurrentServices() = services;
    engine_ = std::make_unique<Engine>(FindImapi2Drives);
    engine_->AddListener(&events_);
  }
  ~Imapi2BackendTest() override {
    engine_.reset();
    com::CurrentServices() = saved_;
    for (FakeObject* o : {master_, recorder_, format_, erase_}) o->Release();
  }

  FakeObject* Make(const char* name) { return new FakeObject(name, &log_); }
  DiscDevice& Drive() {
    EXPECT_EQ(engine_->DeviceCount(), 2);
    return *engine_->Device(0);
  }
  // Raises the format's Update event with a progress object.
  void Update(std::vector<Variant> args) {
    ASSERT_NE(sink_, nullptr);
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    sink_->Invoke(0x200, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  bool Logged(const std::string& entry) { return std::find(log_.begin(), log_.end(), entry) != log_.end(); }

  com::Services saved_;
  std::vector<std::string> log_;
  FakeObject *master_, *recorder_, *format_, *erase_;
  IDispatch* sink_ = nullptr;
  bool registered_ = true;
  bool mediaSupported_ = true;
  testing::TempFolder dir_;
  testing::RecordingListener events_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(Imapi2BackendTest, DrivesAreListedBeforeTheImageFileDriveAndNoneWithoutImapi2) {
  ASSERT_TRUE(engine_->Initialize(false));
  DiscDevice& drive = Drive();
  EXPECT_EQ(drive.Name(), "HL-DT-ST DVDRAM GH24NS (E:)");
  EXPECT_TRUE(drive.IsSupported());
  EXPECT_FALSE(drive.WritesImageFile());
  EXPECT_EQ(engine_->Device(1)->Name(), "Disc Image File (.iso)");
  EXPECT_TRUE(Logged("recorder.InitializeDiscRecorder()"));
  EXPECT_TRUE(Logged("data.put Recorder=object"));

  registered_ = false;
  engine_->Initialize(false);
  EXPECT_EQ(engine_->DeviceCount(), 1);
  registered_ = true;
  master_->properties[L"IsSupportedEnvironment"] = Variant(false);
  engine_->Initialize(false);
  EXPECT_EQ(engine_->DeviceCount(), 1);
}

TEST_F(Imapi2BackendTest, MediaKindsStatesSpeedsAndCapabilities) {
  engine_->Initialize(false);
  DiscDevice& drive = Drive();
  struct Case {
    long physical, state;
    bool supported;
    MediaInfo expected;
  };
  const Case cases[] = {
      {0x0, 0x0, false, {kMediaNone, false, false}},      {0x2, 0x2, true, {kMediaCdR, true, false}},
      {0x3, 0x4, true, {kMediaCdRw, false, true}},      // appendable only: our image starts at sector 0
      {0x7, 0x1, true, {kMediaDvdPlusRw, true, true}},  // overwritten in place
      {0xA, 0x2, true, {kMediaDvdMinusRw, true, true}},   {0x5, 0x2, true, {kMediaDvdRam, true, true}},
      {0x13, 0x2, true, {kMediaBdRe, true, true}},        {0x6, 0x2 | 0x2000, true, {kMediaDvdPlusR, false, false}},
      {0x9, 0x2, false, {kMediaDvdMinusR, false, false}}, {0xE, 0x2, true, {kMediaOther, true, false}},
  };
  for (const Case& c : cases) {
    format_->properties[L"CurrentPhysicalMediaType"] = Variant(c.physical);
    format_->properties[L"CurrentMediaStatus"] = Variant(c.state);
    mediaSupported_ = c.supported;
    drive.RefreshMedia(true);
    MediaInfo media = drive.Media();
    EXPECT_EQ(media.MediaType, c.expected.MediaType) << c.physical;
    EXPECT_EQ(media.IsWritable, c.expected.IsWritable) << c.physical;
    EXPECT_EQ(media.IsRewritable, c.expected.IsRewritable) << c.physical;
  }
  format_->properties[L"CurrentPhysicalMediaType"] = Variant(0x6L);
  drive.RefreshMedia(false);
  EXPECT_EQ(drive.FreeBlocks(true), 2295104);
  ASSERT_EQ(drive.SpeedCount(), 2);
  EXPECT_EQ(drive.SpeedValue(1), 10820);
  EXPECT_NEAR(drive.SpeedFactor(10820), 16.0, 0.01);  // DVD 1x: 1,385,000 bytes a second
  format_->properties[L"CurrentPhysicalMediaType"] = Variant(0x2L);
  drive.RefreshMedia(false);
  EXPECT_NEAR(drive.SpeedFactor(1800), 24.0, 0.01);  // CD 1x: 75 sectors a second

  // The drive writes CD-RW and DVD-RW/DVD+RW; the erase format takes CD-RW and DVD-RW.
  EXPECT_TRUE(drive.HasCapability(kCapBufferProtect));
  EXPECT_TRUE(drive.HasCapability(kCapEraseCdRw));
  EXPECT_TRUE(drive.HasCapability(kCapEraseDvdMinusRw));
  EXPECT_FALSE(drive.HasCapability(kCapEraseDvdPlusRw));  // not erasable through IMAPI2 here
  EXPECT_FALSE(drive.HasCapability(kCapEraseDvdRam));     // not written by the drive
  EXPECT_FALSE(drive.HasCapability(kCapEraseBdRe));
  drive.Eject();
  EXPECT_TRUE(Logged("recorder.EjectMedia()"));
}

TEST_F(Imapi2BackendTest, AWriteHandsTheSettingsAndTheImageToIMAPI2AndReportsItsProgress) {
  engine_->Initialize(false);
  std::string source = testing::Join(dir_.path(), "backup.soe");
  testing::MakePatternFile(source, 50000, 5);
  engine_->Writer().Root().AddFile(source, "\\backup.soe");
  WriterSettings& settings = engine_->Writer().Settings();
  settings.FileSystem = kFsIsoJoliet;
  settings.WriteSpeed = 10820;
  settings.FinalizeDisc = true;
  settings.BufferProtect = true;
  std::string firstDescriptor;
  ULONGLONG streamSize = 0;
  format_->methods[L"Write"] = [&](const std::vector<Variant>& args, Variant*) {
    IStream* stream = nullptr;
    args[0].raw().punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    streamSize = stat.cbSize.QuadPart;
    std::string sectors(17 * 2048, '\0');
    ULONG read = 0;
    stream->Read(sectors.data(), static_cast<ULONG>(sectors.size()), &read);
    firstDescriptor = sectors.substr(16 * 2048 + 1, 5);
    stream->Release();
    FakeObject* progress = Make("progress");
    progress->properties[L"CurrentAction"] = Variant(4L);
    progress->properties[L"StartLba"] = Variant(0L);
    progress->properties[L"SectorCount"] = Variant(40L);
    progress->properties[L"LastWrittenLba"] = Variant(10L);
    Update({Variant(static_cast<IUnknown*>(format_), true), Variant(static_cast<IUnknown*>(progress), true)});
    progress->properties[L"CurrentAction"] = Variant(5L);
    Update({Variant(static_cast<IUnknown*>(format_), true), Variant(static_cast<IUnknown*>(progress), true)});
    progress->Release();
    return S_OK;
  };
  ASSERT_TRUE(engine_->Writer().StartWrite(Drive()));
  engine_->RunPending();
  EXPECT_TRUE(events_.errors.empty());
  EXPECT_EQ(events_.statuses, (std::vector<int>{kWritePreparing, kWriteWriting, kWriteClosingTrack, kWriteDone}));
  EXPECT_EQ(firstDescriptor, "CD001");
  EXPECT_EQ(streamSize % 2048, 0u);
  EXPECT_GT(streamSize, 50000u);
  for (const char* call : {"data.put ForceMediaToBeClosed=-1", "data.put BufferUnderrunFreeDisabled=0",
                           "data.SetWriteSpeed()", "advise", "data.Write()", "unadvise 7"}) {
    EXPECT_TRUE(Logged(call)) << call;
  }
  EXPECT_GT(events_.inputBreaks, 0);
}

TEST_F(Imapi2BackendTest, WhatIMAPI2CannotDoIsAWriteErrorAndItsFailuresAreDeviceErrors) {
  engine_->Initialize(false);
  engine_->Writer().Settings().FileSystem = kFsIsoJoliet;
  const std::pair<std::function<void(WriterSettings&)>, std::string> refusals[] = {
      {[](WriterSettings& s) { s.TestWrite = true; }, "test write"},
      {[](WriterSettings& s) { s.WriteMode = kWriteModeDiscAtOnce; }, "disc-at-once"},
  };
  for (const auto& [set, words] : refusals) {
    WriterSettings& settings = engine_->Writer().Settings();
    settings = WriterSettings{};
    settings.FileSystem = kFsIsoJoliet;
    set(settings);
    events_.errors.clear();
    ASSERT_TRUE(engine_->Writer().StartWrite(Drive()));
    engine_->RunPending();
    ASSERT_EQ(events_.errors.size(), 1u);
    EXPECT_EQ(events_.errors[0].Category, kErrorWrite);
    EXPECT_NE(events_.errors[0].Text.find(words), std::string::npos) << events_.errors[0].Text;
    EXPECT_EQ(events_.statuses.back(), kWriteFailed);
  }
  EXPECT_FALSE(Logged("data.Write()"));

  engine_->Writer().Settings() = WriterSettings{};
  engine_->Writer().Settings().FileSystem = kFsIsoJoliet;
  format_->methods[L"Write"] = [](const std::vector<Variant>&, Variant*) { return static_cast<HRESULT>(0xC0AA0204); };
  events_.errors.clear();
  ASSERT_TRUE(engine_->Writer().StartWrite(Drive()));
  engine_->RunPending();
  ASSERT_EQ(events_.errors.size(), 1u);
  EXPECT_EQ(events_.errors[0].Category, kErrorDevice);
  EXPECT_EQ(static_cast<unsigned long>(events_.errors[0].DeviceDetail.Code), 0xC0AA0204ul);
  EXPECT_EQ(events_.errors[0].DeviceDetail.DetailA, "Write 0xC0AA0204");
  EXPECT_EQ(events_.statuses.back(), kWriteFailed);

  // Cancel from inside the write: IMAPI2 is told at the next progress event.
  format_->methods[L"Write"] = [this](const std::vector<Variant>&, Variant*) {
    engine_->Writer().CancelWrite();
    FakeObject* progress = Make("progress");
    Update({Variant(static_cast<IUnknown*>(format_), true), Variant(static_cast<IUnknown*>(progress), true)});
    progress->Release();
    return static_cast<HRESULT>(0xC0AA0002);
  };
  log_.clear();
  ASSERT_TRUE(engine_->Writer().StartWrite(Drive()));
  engine_->RunPending();
  EXPECT_TRUE(Logged("data.CancelWrite()"));
  EXPECT_EQ(events_.statuses.back(), kWriteCancelled);
}

TEST_F(Imapi2BackendTest, EraseRunsIMAPI2sEraseFormatAndReportsItsCourse) {
  engine_->Initialize(false);
  std::vector<std::pair<int, int>> course;
  struct EraseRecorder : EngineListener {
    std::vector<std::pair<int, int>>* course;
    std::vector<long> errors;
    void EraseStatus(int status, int percent) override { course->emplace_back(status, percent); }
    void EraseError(const DeviceError& error) override { errors.push_back(error.Code); }
  } recorder;
  recorder.course = &course;
  engine_->AddListener(&recorder);
  erase_->methods[L"EraseMedia"] = [this](const std::vector<Variant>&, Variant*) {
    Update({Variant(static_cast<IUnknown*>(erase_), true), Variant(30L), Variant(60L)});
    return S_OK;
  };
  ASSERT_TRUE(Drive().StartErase(false, Drive().EraseSetting()));
  engine_->RunPending();
  EXPECT_EQ(course, (std::vector<std::pair<int, int>>{{kEraseStarted, 0}, {kEraseProgress, 50}, {kEraseDone, 100}}));
  EXPECT_TRUE(Logged("erase.put FullErase=-1"));
  EXPECT_TRUE(Logged("erase.put Recorder=object"));

  course.clear();
  erase_->methods[L"EraseMedia"] = [](const std::vector<Variant>&, Variant*) {
    return static_cast<HRESULT>(0xC0AA0205);
  };
  ASSERT_TRUE(Drive().StartErase(true, 0));
  engine_->RunPending();
  EXPECT_TRUE(Logged("erase.put FullErase=0"));
  EXPECT_EQ(course, (std::vector<std::pair<int, int>>{{kEraseStarted, 0}}));
  EXPECT_EQ(recorder.errors, std::vector<long>{static_cast<long>(0xC0AA0205)});
  engine_->RemoveListener(&recorder);
}

}  // namespace
}  // namespace quarnel::disc
