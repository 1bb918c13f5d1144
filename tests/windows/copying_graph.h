// A copying effect filter (time or pitch) in a real filter graph: a source
// the test drives buffer by buffer, the filter, and a sink that records
// every sample with its marks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/windows/test_filters.h"

namespace quill::test {

template <class Filter>
class CopyingFilterInGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_TRUE(hr == S_OK || hr == S_FALSE);
  }

  void TearDown() override {
    Dismantle();
    CoUninitialize();
  }

  // Source (`bufferBytes` per upstream buffer), the filter and the sink, all
  // in one graph without a clock; `configure` sets the filter's parameters
  // before anything connects.
  template <class Configure>
  void BuildWith(long bufferBytes, const AudioType& type, Configure configure, bool readOnly = false) {
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph_)),
              S_OK);
    IMediaFilter* clockless = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&clockless)), S_OK);
    EXPECT_EQ(clockless->SetSyncSource(nullptr), S_OK);
    clockless->Release();

    HRESULT created = S_OK;
    filter_ = static_cast<Filter*>(Filter::Create(nullptr, &created));
    ASSERT_NE(filter_, nullptr);
    filter_->NonDelegatingAddRef();
    ASSERT_EQ(created, S_OK);
    source_ = new PushSource(type, bufferBytes, 1, readOnly);
    source_->NonDelegatingAddRef();
    sink_ = new CaptureSink();
    sink_->NonDelegatingAddRef();

    configure(filter_);

    ASSERT_EQ(graph_->AddFilter(source_, L"Source"), S_OK);
    ASSERT_EQ(graph_->AddFilter(static_cast<IBaseFilter*>(filter_), L"Effect"), S_OK);
    ASSERT_EQ(graph_->AddFilter(sink_, L"Sink"), S_OK);
  }

  HRESULT ConnectInput() { return graph_->ConnectDirect(&source_->Output(), &filter_->Input(), nullptr); }
  HRESULT ConnectOutput() { return graph_->ConnectDirect(&filter_->Output(), &sink_->Input(), nullptr); }

  void Run() {
    IMediaControl* control = nullptr;
    ASSERT_EQ(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    control->Release();
  }

  void Dismantle() {
    if (graph_ != nullptr) {
      IMediaControl* control = nullptr;
      if (SUCCEEDED(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
        EXPECT_EQ(control->Stop(), S_OK);
        control->Release();
      }
      graph_->Release();
      graph_ = nullptr;
    }
    if (filter_ != nullptr) filter_->NonDelegatingRelease();
    if (source_ != nullptr) source_->NonDelegatingRelease();
    if (sink_ != nullptr) sink_->NonDelegatingRelease();
    filter_ = nullptr;
    source_ = nullptr;
    sink_ = nullptr;
  }

  HRESULT Push(const std::vector<std::int16_t>& frames, bool discontinuity = false) {
    return source_->Push(frames.data(), static_cast<long>(frames.size() * 2), discontinuity);
  }

  IGraphBuilder* graph_ = nullptr;
  Filter* filter_ = nullptr;
  PushSource* source_ = nullptr;
  CaptureSink* sink_ = nullptr;
};

}  // namespace quill::test
