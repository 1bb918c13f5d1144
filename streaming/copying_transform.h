// A transform that reads each arriving buffer and writes its result into
// buffers of its own: the input takes whatever allocator upstream offers,
// the output pin has its own memory allocator with buffers four times the
// upstream size, and the transform decides which pair of types it can join.
#pragma once

#include "streaming/transform_base.h"

namespace quill {

class CopyingTransform : public TransformBase {
 public:
  using TransformBase::TransformBase;

  // Whether a type may enter at the input.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;
  // Whether the transform turns `input` into `output`: S_OK or a refusal.
  virtual HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) = 0;
  // The output types the transform offers, from 0.
  virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE& type) = 0;

  HRESULT CheckInputConnection(const AM_MEDIA_TYPE& type) override;
  HRESULT CheckOutputConnection(const AM_MEDIA_TYPE& type) override;
  HRESULT GetOutputType(int index, AM_MEDIA_TYPE& type) override;
  HRESULT DecideOutputAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request) override;

  // What the output allocator granted at the last negotiation.
  const ALLOCATOR_PROPERTIES& Granted() const { return granted_; }

  static constexpr long kMinBufferBytes = 512;
  static constexpr long kSizeFactor = 4;

 private:
  ALLOCATOR_PROPERTIES granted_{};
};

}  // namespace quill
