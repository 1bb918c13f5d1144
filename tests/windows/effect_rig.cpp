#include "tests/windows/effect_rig.h"

#include <initializer_list>

#include "tests/windows/win_support.h"

namespace quill::test {

IPin* FindPinOf(IBaseFilter* filter, const wchar_t* id) {
  IPin* pin = nullptr;
  EXPECT_EQ(filter->FindPin(id, &pin), S_OK) << "pin not found";
  return pin;
}

IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) break;
    pin->Release();
    pin = nullptr;
  }
  pins->Release();
  return pin;
}

void EffectRig::BuildRig(const CLSID& clsid, const IID& paramsIid, const AudioType& type, long bufferSize,
                         long bufferCount, bool readOnly) {
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(&graph_)),
            S_OK);
  IMediaFilter* clockless = nullptr;
  ASSERT_EQ(graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&clockless)), S_OK);
  EXPECT_EQ(clockless->SetSyncSource(nullptr), S_OK);
  clockless->Release();

  source_ = new PushSource(type, bufferSize, bufferCount, readOnly);
  source_->NonDelegatingAddRef();
  sink_ = new CaptureSink();
  sink_->NonDelegatingAddRef();
  ASSERT_EQ(CreateFromModule(clsid, IID_IBaseFilter, reinterpret_cast<void**>(&effect_)), S_OK);
  ASSERT_EQ(effect_->QueryInterface(paramsIid, reinterpret_cast<void**>(&rigParams_)), S_OK);
  ASSERT_EQ(graph_->AddFilter(source_, L"Source"), S_OK);
  ASSERT_EQ(graph_->AddFilter(effect_, L"Effect"), S_OK);
  ASSERT_EQ(graph_->AddFilter(sink_, L"Sink"), S_OK);
  effectIn_ = FindPinOf(effect_, L"Input");
  effectOut_ = FindPinOf(effect_, L"Output");
}

void EffectRig::Run() {
  IMediaControl* control = nullptr;
  ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_TRUE(SUCCEEDED(control->Run()));
  control->Release();
}

void EffectRig::Stop() {
  IMediaControl* control = nullptr;
  ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_EQ(control->Stop(), S_OK);
  control->Release();
}

void EffectRig::Dismantle() {
  if (graph_ != nullptr) Stop();
  for (IUnknown** p : {reinterpret_cast<IUnknown**>(&effectIn_), reinterpret_cast<IUnknown**>(&effectOut_), &rigParams_,
                       reinterpret_cast<IUnknown**>(&effect_), reinterpret_cast<IUnknown**>(&graph_)}) {
    if (*p != nullptr) (*p)->Release();
    *p = nullptr;
  }
  if (source_ != nullptr) source_->NonDelegatingRelease();
  if (sink_ != nullptr) sink_->NonDelegatingRelease();
  source_ = nullptr;
  sink_ = nullptr;
  EXPECT_EQ(Quill().canUnloadNow(), S_OK);
}

}  // namespace quill::test
