// The settings page every effect shares: connection to the filter through
// the effect's parameter interface, live editing (every change goes to the
// filter at once; nothing is pending and nothing is applied), refresh by
// control group, the page menu with the presets, help and the about box,
// context help, and the tiled background. An effect's page adds its
// dialog, its tables and the mapping of its controls to fields.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "framework/field_table.h"
#include "framework/help_table.h"
#include "include/quillfx1.h"
#include "streaming/property_page.h"

namespace quill {

// Identifiers every page shares.
inline constexpr int kFormatNotifyId = 32700;
inline constexpr int kFirstPresetCommand = 40500;  // preset index = command - 40499
inline constexpr int kLastPresetCommand = 40999;
inline constexpr int kHelpCommand = 41000;
inline constexpr int kAboutCommand = 41001;
inline constexpr int kAboutDialog = 710;
inline constexpr int kAboutNameText = 7100;
inline constexpr int kAboutVersionText = 7101;
inline constexpr int kBackgroundBitmap = 4;

// What a control of the page is.
enum class ControlKind : std::uint8_t { Fader, Trackbar, Edit, Check, List };

// Whether a command was the page's own: taken (and refreshed), the page's
// control but a notification it ignores, or not the page's.
enum class CommandTaken : std::uint8_t { No, Yes, Ignored };

// A control's range: its field's, or for an unclamped level its floor to 0 dB.
struct ControlRange {
  int id;
  const FieldInfo* field;
};

struct PageDescription {
  int dialogId;
  int titleId;              // string resource
  const wchar_t* fullName;  // the filter's name, for the about box
  const IID* parameterInterface;
  std::span<const ControlRange> ranges;
  const HelpPair* help;
};

class EffectPropertyPage : public BasePropertyPage {
 public:
  EffectPropertyPage(IUnknown* outer, HRESULT* result, const PageDescription& description);
  ~EffectPropertyPage() override;

  // Reads parameters back into the controls: 0 and the format notification
  // refresh everything, a control id refreshes that control's group, other
  // ids do nothing; nothing at all while unconnected or without a dialog.
  void Refresh(int id);

  // The lowest and highest value a control may take for its field.
  static void RangeOf(const FieldInfo& field, int& lowest, int& highest);

 protected:
  std::wstring Title() override;
  std::wstring HelpFile() override;
  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  // A page released while still shown or connected: the effect's part
  // calls this from its destructor, while its own handlers still exist.
  void Teardown();

  bool Connected() const { return params_ != nullptr; }
  IUnknown* Params() const { return params_; }

  // The effect's part. RefreshGroups gets full = true for a full refresh.
  virtual void RefreshGroups(int id, bool full) = 0;
  virtual HRESULT RegisterNotify(HWND window, std::int32_t id) = 0;
  virtual HRESULT GetBackground(std::int32_t* flag) = 0;
  // True if the control is the page's and the event was taken.
  virtual bool Scrolled(int id, int position) = 0;
  // Line and page steps of a trackbar or fader; false if it is not the page's.
  virtual bool Steps(int id, int& line, int& page) const = 0;
  // Check boxes, edit fields and lists of the page.
  virtual CommandTaken PageCommand(int id, int code) = 0;
  // Fills what the dialog template cannot hold (list rows), before the
  // first refresh.
  virtual void FillControls() {}
  // Undoes what FillControls took over, as the dialog is destroyed.
  virtual void ReleaseControls() {}

  // An edit field's text as a value of its field: a decimal number for a
  // field shown as seconds or tenths (what the reader got up to the first
  // other character, 0 for nothing), scaled back to the field's unit; a
  // whole number otherwise, taken only when the whole text is one.
  bool ReadEdit(int id, const FieldInfo& field, int maxChars, std::int32_t& value);

  // Writes a value in its field's format into a static or edit control.
  void ShowValue(int id, const FieldInfo& field, std::int32_t value);

 private:
  void InitRanges();
  void ShowMenu(LPARAM where);
  void ContextHelp(const HELPINFO* info);
  bool EraseBackground(HDC dc);
  void Command(int id, int code, HWND control);
  void ApplyPreset(int index);

  const PageDescription& description_;
  IUnknown* object_ = nullptr;  // the connected filter
  IUnknown* params_ = nullptr;  // its parameter interface
  bool started_ = false;        // the control library
};

// The about box, modal to `owner`; TRUE for OK.
INT_PTR RunAboutBox(HINSTANCE module, HWND owner, const wchar_t* fullName);

// An edit field's number in the field's raw unit: value × scale, truncated
// toward zero, saturated to 32 bits.
std::int32_t ScaledValue(double value, double scale);

}  // namespace quill
