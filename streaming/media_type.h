// Media type records: copies that own their format block.
#pragma once

#include "streaming/platform.h"

namespace quill {

// Deep copy of `from` into `to` (format block in task memory); E_OUTOFMEMORY
// leaves `to` empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from);
// Frees what a media type owns and leaves it empty.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A task-allocated copy, for enumerators; null when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& from);
void DeleteMediaType(AM_MEDIA_TYPE* type);

bool SameMediaType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);

// An owned media type.
class MediaType {
 public:
  MediaType();
  ~MediaType();
  MediaType(const MediaType&) = delete;
  MediaType& operator=(const MediaType&) = delete;

  HRESULT Set(const AM_MEDIA_TYPE& from);
  void Clear();
  bool Empty() const { return type_.majortype == GUID_NULL; }
  const AM_MEDIA_TYPE& Get() const { return type_; }

 private:
  AM_MEDIA_TYPE type_;
};

}  // namespace quill
