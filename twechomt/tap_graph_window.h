// The tap graph in the multi-tap page's static control: the page attaches
// it when its dialog opens and detaches it when the dialog closes.
#pragma once

#include "include/quillfx1.h"

namespace quill {

// Takes over the control's paint message, drawing from `params` at every
// repaint; every other message still reaches the control. The control
// keeps its own reference to `params` until it is detached.
bool AttachTapGraph(HWND control, IMultiTapParams* params);
// Gives the control back its procedure and drops the reference.
void DetachTapGraph(HWND control);

}  // namespace quill
