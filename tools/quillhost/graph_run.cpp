#include "tools/quillhost/graph_run.h"

#include <vector>

#include "streaming/platform.h"
#include "tools/quillhost/com_ref.h"
#include "tools/quillhost/wav_writer.h"

namespace quill {

namespace {

// {D51BD5A1-7548-11CF-A520-0080C77EF58A}
constexpr CLSID kWaveParser = {0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};

constexpr DWORD kCompletionTimeoutMs = 120000;

// The first pin of a filter in a direction.
HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, ComRef<IPin>& pin) {
  ComRef<IEnumPins> pins;
  HRESULT hr = filter->EnumPins(pins.Put());
  if (FAILED(hr)) return hr;
  ComRef<IPin> candidate;
  while (pins->Next(1, candidate.Put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(candidate->QueryDirection(&d)) && d == direction) {
      pin = std::move(candidate);
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT Connect(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
  ComRef<IPin> out;
  ComRef<IPin> in;
  HRESULT hr = FindPin(from, PINDIR_OUTPUT, out);
  if (SUCCEEDED(hr)) hr = FindPin(to, PINDIR_INPUT, in);
  if (SUCCEEDED(hr)) hr = graph->ConnectDirect(out.Get(), in.Get(), nullptr);
  return hr;
}

// By index or name; E_INVALIDARG if neither matches.
HRESULT ApplyPreset(IBaseFilter* effect, const std::string& arg, std::string& applied) {
  ComRef<IEffectPresets> presets;
  HRESULT hr = effect->QueryInterface(IID_IEffectPresets, presets.PutVoid());
  if (FAILED(hr)) return hr;
  return ApplyPresetArg(presets.Get(), arg, applied);
}

}  // namespace

HRESULT RunEffectGraph(const GraphJob& job, IBaseFilter* effect, GraphResult& result, std::string& step) {
  ComRef<IGraphBuilder> graph;
  step = "creating the filter graph";
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
  if (FAILED(hr)) return hr;

  // No reference clock: the graph runs as fast as the filters can go.
  step = "removing the reference clock";
  ComRef<IMediaFilter> graphFilter;
  hr = graph->QueryInterface(IID_IMediaFilter, graphFilter.PutVoid());
  if (SUCCEEDED(hr)) hr = graphFilter->SetSyncSource(nullptr);
  if (FAILED(hr)) return hr;

  step = "loading the input file";
  ComRef<IBaseFilter> source;
  hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.PutVoid());
  if (FAILED(hr)) return hr;
  ComRef<IFileSourceFilter> file;
  hr = source->QueryInterface(IID_IFileSourceFilter, file.PutVoid());
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE streamType{};
  streamType.majortype = MEDIATYPE_Stream;
  streamType.subtype = MEDIASUBTYPE_WAVE;
  hr = file->Load(job.input.c_str(), &streamType);
  if (FAILED(hr)) return hr;
  hr = graph->AddFilter(source.Get(), L"Source");
  if (FAILED(hr)) return hr;

  step = "creating the wave parser";
  ComRef<IBaseFilter> parser;
  hr = CoCreateInstance(kWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, parser.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->AddFilter(parser.Get(), L"Parser");
  if (FAILED(hr)) return hr;

  step = "adding the effect";
  hr = graph->AddFilter(effect, L"Effect");
  if (FAILED(hr)) return hr;

  auto* writer = new (std::nothrow) WavWriter();
  if (writer == nullptr) return E_OUTOFMEMORY;
  ComRef<IBaseFilter> sink;
  step = "adding the writer";
  hr = writer->NonDelegatingQueryInterface(IID_IBaseFilter, sink.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->AddFilter(sink.Get(), L"Writer");
  if (FAILED(hr)) return hr;

  step = "connecting source to parser";
  hr = Connect(graph.Get(), source.Get(), parser.Get());
  if (FAILED(hr)) return hr;
  step = "connecting parser to effect";
  hr = Connect(graph.Get(), parser.Get(), effect);
  if (FAILED(hr)) return hr;
  step = "connecting effect to writer";
  hr = Connect(graph.Get(), effect, sink.Get());
  if (FAILED(hr)) return hr;

  ComRef<IMediaControl> control;
  ComRef<IMediaEvent> events;
  step = "running the graph";
  hr = graph->QueryInterface(IID_IMediaControl, control.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaEvent, events.PutVoid());
  if (SUCCEEDED(hr)) hr = control->Run();
  if (FAILED(hr)) return hr;
  step = "waiting for the end of the stream";
  long code = 0;
  hr = events->WaitForCompletion(kCompletionTimeoutMs, &code);
  HRESULT stopped = control->Stop();
  if (FAILED(hr)) return hr;
  if (code != EC_COMPLETE) return E_FAIL;
  step = "stopping the graph";
  if (FAILED(stopped)) return stopped;

  step = "collecting the output";
  if (!writer->Collected(result.output)) return VFW_E_NOT_CONNECTED;
  result.buffers = writer->Buffers();
  return S_OK;
}

HRESULT CreateEffect(const HostEffect& effect, ComRef<IBaseFilter>& filter, std::string& step) {
  step = "creating the effect (is QUILLFX1.DLL registered?)";
  return CoCreateInstance(*effect.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.PutVoid());
}

HRESULT ConfigureEffect(IBaseFilter* effect, const GraphJob& job, GraphResult& result, std::string& step) {
  HRESULT hr = S_OK;
  if (!job.presetArg.empty()) {
    step = "applying preset " + job.presetArg;
    hr = ApplyPreset(effect, job.presetArg, result.presetName);
    result.unknownPreset = hr == E_INVALIDARG;
    if (FAILED(hr)) return hr;
  }
  step = "parameter interface";
  ComRef<IUnknown> params;
  hr = effect->QueryInterface(*job.effect->paramsIid, params.PutVoid());
  if (FAILED(hr)) return hr;
  return ApplyFieldEdits(*job.effect, params.Get(), job.fields, result.notable, step);
}

HRESULT ListPresets(const HostEffect& effect, std::vector<std::string>& names, std::string& step) {
  ComRef<IBaseFilter> filter;
  HRESULT hr = CreateEffect(effect, filter, step);
  if (FAILED(hr)) return hr;
  step = "reading the presets";
  ComRef<IEffectPresets> presets;
  hr = filter->QueryInterface(IID_IEffectPresets, presets.PutVoid());
  if (FAILED(hr)) return hr;
  return PresetNames(presets.Get(), names);
}

}  // namespace quill
