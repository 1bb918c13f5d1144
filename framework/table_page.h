// A page whose controls map one to one onto fields of the effect's
// parameter interface, described by two tables: the controls (what each
// one is, the setter it drives, its steps) and the refresh groups (which
// ids refresh a field, and the slider, text, check box and enabled
// controls that show it).
#pragma once

#include <array>
#include <cmath>
#include <span>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"

namespace quill {

template <class Interface>
using FieldGetter = HRESULT (STDMETHODCALLTYPE Interface::*)(std::int32_t*);
template <class Interface>
using FieldSetter = HRESULT (STDMETHODCALLTYPE Interface::*)(std::int32_t);

template <class Interface>
struct ControlBinding {
  int id;
  ControlKind kind;
  FieldSetter<Interface> set;
  const FieldInfo* field;
  int lineStep = 0;  // sliders and faders
  int pageStep = 0;
};

template <class Interface>
struct RefreshGroup {
  std::array<int, 3> ids;  // control ids that refresh the group (0 for none)
  FieldGetter<Interface> get;
  const FieldInfo* field;
  int slider = 0;                // moved unless it caused the refresh
  bool fader = false;            // a fader moves only on a full refresh
  int text = 0;                  // static or edit showing the value in the field's format
  int check = 0;                 // set on a full refresh
  std::array<int, 3> enables{};  // enabled exactly when the value is non-zero
};

template <class Interface>
class TablePage : public EffectPropertyPage {
 public:
  TablePage(IUnknown* outer, HRESULT* result, const PageDescription& description,
            std::span<const ControlBinding<Interface>> controls, std::span<const RefreshGroup<Interface>> groups)
      : EffectPropertyPage(outer, result, description), controls_(controls), groups_(groups) {}
  ~TablePage() override { Teardown(); }

 protected:
  Interface* P() const { return static_cast<Interface*>(Params()); }

  HRESULT RegisterNotify(HWND window, std::int32_t id) override { return P()->RegisterNotify(window, id); }
  HRESULT GetBackground(std::int32_t* flag) override { return P()->GetBackground(flag); }

  void RefreshGroups(int id, bool full) override {
    for (const RefreshGroup<Interface>& g : groups_) {
      if (!full && g.ids[0] != id && g.ids[1] != id && g.ids[2] != id) continue;
      std::int32_t value = 0;
      if (FAILED((P()->*g.get)(&value))) continue;
      if (g.slider != 0 && (g.fader ? full : g.slider != id))
        if (HWND slider = GetDlgItem(Dialog(), g.slider)) SendMessageW(slider, kCtlSetPosition, TRUE, value);
      if (g.text != 0) ShowValue(g.text, *g.field, value);
      if (g.check != 0 && full) CheckDlgButton(Dialog(), g.check, value != 0 ? BST_CHECKED : BST_UNCHECKED);
      for (int enabled : g.enables)
        if (enabled != 0)
          if (HWND control = GetDlgItem(Dialog(), enabled)) EnableWindow(control, value != 0);
    }
  }

  bool Scrolled(int id, int position) override {
    const ControlBinding<Interface>* c = Find(id);
    if (c == nullptr || (c->kind != ControlKind::Fader && c->kind != ControlKind::Trackbar)) return false;
    (P()->*c->set)(position);
    return true;
  }
  bool Steps(int id, int& line, int& page) const override {
    const ControlBinding<Interface>* c = Find(id);
    if (c == nullptr || (c->kind != ControlKind::Fader && c->kind != ControlKind::Trackbar)) return false;
    line = c->lineStep;
    page = c->pageStep;
    return true;
  }
  bool IsCheckBox(int id) const override { return Is(id, ControlKind::Check); }
  void Checked(int id, bool on) override { (P()->*Find(id)->set)(on ? 1 : 0); }
  bool IsEditField(int id) const override { return Is(id, ControlKind::Edit); }
  void EditLeft(int id, const wchar_t* text) override {
    const ControlBinding<Interface>* c = Find(id);
    double value = 0.0;
    if (!ParseEditNumber(text, value)) return;  // the refresh puts the stored value back
    // Typed in the field's real unit; one raw unit is `step` of it.
    (P()->*c->set)(ScaledValue(value, std::round(1.0 / c->field->step)));
  }

 private:
  const ControlBinding<Interface>* Find(int id) const {
    for (const ControlBinding<Interface>& c : controls_)
      if (c.id == id) return &c;
    return nullptr;
  }
  bool Is(int id, ControlKind kind) const {
    const ControlBinding<Interface>* c = Find(id);
    return c != nullptr && c->kind == kind;
  }

  std::span<const ControlBinding<Interface>> controls_;
  std::span<const RefreshGroup<Interface>> groups_;
};

}  // namespace quill
