// A transform that changes samples inside the buffer that arrives and sends
// that same buffer on: both pins carry one media type, and the output uses
// the allocator agreed on the input, which must be writable.
#pragma once

#include "streaming/transform_base.h"

namespace quill {

class InPlaceTransform : public TransformBase {
 public:
  using TransformBase::TransformBase;

  // The one acceptance rule, applied at both pins.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;

  HRESULT CheckInputConnection(const AM_MEDIA_TYPE& type) override;
  HRESULT CheckOutputConnection(const AM_MEDIA_TYPE& type) override;
  HRESULT GetInputType(int index, AM_MEDIA_TYPE& type) override;
  HRESULT GetOutputType(int index, AM_MEDIA_TYPE& type) override;
  HRESULT AcceptInputAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT DecideOutputAllocator(IMemInputPin* peer, IMemAllocator** allocator, bool* owned) override;
};

}  // namespace quill
