// The platform's streaming headers, included in one place and one order.
#pragma once

#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE
#endif

#include <control.h>
#include <evcode.h>
#include <mmreg.h>
#include <strmif.h>
#include <uuids.h>

#include "framework/com.h"
