// A page whose controls map one to one onto fields of the effect's
// parameter interface, described by two tables: the controls (what each
// one is, the setter it drives, its steps) and the refresh groups (which
// ids refresh a field, and the slider, text, list, check box and enabled
// controls that show it).
#pragma once

#include <array>
#include <new>
#include <span>

#include "controls/twctllib.h"
#include "framework/effect_property_page.h"

namespace quill {

template <class Interface>
using FieldGetter = HRESULT (STDMETHODCALLTYPE Interface::*)(std::int32_t*);
template <class Interface>
using FieldSetter = HRESULT (STDMETHODCALLTYPE Interface::*)(std::int32_t);

// The name of a list's row, or null past the last.
using RowName = const char* (*)(int row);

template <class Interface>
struct ControlBinding {
  int id;
  ControlKind kind;
  FieldSetter<Interface> set;
  const FieldInfo* field;
  int lineStep = 0;  // sliders and faders
  int pageStep = 0;
  int editChars = 9;       // an edit field is read up to this many characters
  RowName rows = nullptr;  // a list's rows, each carrying its index
};

// When a group's slider follows the stored value.
enum class SliderMove : std::uint8_t {
  UnlessSelf,  // on every refresh but one the slider itself caused
  FullOnly,    // only on a full refresh
};

template <class Interface>
struct RefreshGroup {
  std::array<int, 3> ids;  // control ids that refresh the group (0 for none)
  FieldGetter<Interface> get;
  const FieldInfo* field;
  int slider = 0;
  SliderMove move = SliderMove::UnlessSelf;
  int text = 0;                  // static or edit showing the value in the field's format
  int check = 0;                 // set on a full refresh
  std::array<int, 3> enables{};  // enabled exactly when the value is non-zero
  int list = 0;                  // the row carrying the value is selected on a full refresh
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

  void FillControls() override {
    for (const ControlBinding<Interface>& c : controls_) {
      if (c.kind != ControlKind::List || c.rows == nullptr) continue;
      HWND list = GetDlgItem(Dialog(), c.id);
      if (list == nullptr) continue;
      SendMessageW(list, CB_RESETCONTENT, 0, 0);
      for (int row = 0; const char* name = c.rows(row); ++row) {
        const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (at >= 0) SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(at), row);
      }
    }
  }

  void RefreshGroups(int id, bool full) override {
    for (const RefreshGroup<Interface>& g : groups_) {
      if (!full && g.ids[0] != id && g.ids[1] != id && g.ids[2] != id) continue;
      std::int32_t value = 0;
      if (FAILED((P()->*g.get)(&value))) continue;
      const bool moveSlider = g.move == SliderMove::FullOnly ? full : g.slider != id;
      if (g.slider != 0 && moveSlider)
        if (HWND slider = GetDlgItem(Dialog(), g.slider)) SendMessageW(slider, kCtlSetPosition, TRUE, value);
      if (g.text != 0) ShowValue(g.text, *g.field, value);
      if (g.check != 0 && full) CheckDlgButton(Dialog(), g.check, value != 0 ? BST_CHECKED : BST_UNCHECKED);
      for (int enabled : g.enables)
        if (enabled != 0)
          if (HWND control = GetDlgItem(Dialog(), enabled)) EnableWindow(control, value != 0);
      if (g.list != 0 && full) SelectRow(g.list, value);
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

  CommandTaken PageCommand(int id, int code) override {
    const ControlBinding<Interface>* c = Find(id);
    if (c == nullptr) return CommandTaken::No;
    switch (c->kind) {
      case ControlKind::Check:
        (P()->*c->set)(IsDlgButtonChecked(Dialog(), id) == BST_CHECKED ? 1 : 0);
        break;
      case ControlKind::Edit: {
        if (code != EN_KILLFOCUS) return CommandTaken::Ignored;
        std::int32_t value = 0;
        if (ReadEdit(id, *c->field, c->editChars, value)) (P()->*c->set)(value);
        break;
      }
      case ControlKind::List: {
        if (code != CBN_SELCHANGE) return CommandTaken::No;
        const LRESULT at = SendDlgItemMessageW(Dialog(), id, CB_GETCURSEL, 0, 0);
        if (at < 0) return CommandTaken::No;
        (P()->*c->set)(static_cast<std::int32_t>(SendDlgItemMessageW(Dialog(), id, CB_GETITEMDATA, at, 0)));
        break;
      }
      default:
        return CommandTaken::No;
    }
    Refresh(id);
    return CommandTaken::Yes;
  }

 private:
  // The row whose data is the value, searched from the last down to the
  // second; the first when none is.
  void SelectRow(int listId, std::int32_t value) {
    HWND list = GetDlgItem(Dialog(), listId);
    if (list == nullptr) return;
    LRESULT found = 0;
    for (LRESULT at = SendMessageW(list, CB_GETCOUNT, 0, 0) - 1; at >= 1; --at)
      if (SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(at), 0) == value) {
        found = at;
        break;
      }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  }

  const ControlBinding<Interface>* Find(int id) const {
    for (const ControlBinding<Interface>& c : controls_)
      if (c.id == id) return &c;
    return nullptr;
  }

  std::span<const ControlBinding<Interface>> controls_;
  std::span<const RefreshGroup<Interface>> groups_;
};

// Makes a table page for the module's class table.
template <class Interface>
UnknownBase* MakeTablePage(IUnknown* outer, HRESULT* result, const PageDescription& description,
                           std::span<const ControlBinding<Interface>> controls,
                           std::span<const RefreshGroup<Interface>> groups) {
  auto* page = new (std::nothrow) TablePage<Interface>(outer, result, description, controls, groups);
  if (page == nullptr) *result = E_OUTOFMEMORY;
  return page;
}

}  // namespace quill
