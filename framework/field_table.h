// Every field of an effect's parameter block, described once: its name as a
// host writes it, where it lies in the block, its type, unit and range,
// whether a change needs the engine's full set-up, how a page shows it, and
// the name and real unit a user may give it instead.
// The field setters, the whole-block clamp of SetParams and Load, the
// tools' listings and field parsing, and the pages all read these rows, so
// a range or a format is written in exactly one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class FieldType : std::uint8_t { Int32, Double };

// What the block's owner does with values outside [lo, hi].
//
// One rule for a value that is stored but that a stream cannot use as it
// stands (a table index outside its table, a ratio far beyond what a page
// sets): it is kept as stored, and the interface gives it back, but a
// stream plays the nearest usable value, lo or hi (PlayedValue), unless the
// row names another one (Otherwise). No stream stops for a setting, and no
// setting makes one run away.
enum class FieldRange : std::uint8_t {
  None,      // stored as given (switches)
  Clamped,   // SetParams, Load and the field's setter clamp into [lo, hi]; a NaN lands on lo
  Ceiling,   // as Clamped, but only values above hi are brought down
  Table,     // stored as given; only lo..hi are rows of the effect's table, and a stream plays the nearest
  Positive,  // the setter refuses anything but a positive finite number (whole blocks keep the stored
             // one); of those, a stream plays the nearest within [lo, hi]
};

// What a change of the field costs the engine: Light fields are picked up by
// a retune between buffers, Full fields rebuild lines and positions.
enum class FieldSetup : std::uint8_t { Light, Full };

// Who reads the field. A plugin host gets a control for every Stream and
// Drives field.
enum class FieldUse : std::uint8_t {
  Stream,    // the engine reads it
  PageOnly,  // only the settings page reads it (its own state, a derived view)
  Drives,    // a page field from which the page sets a Driven field
  Driven,    // the engine reads it, but a user sets it through Drives fields
};

// How a page writes the value (integers in the field's unit).
enum class ValueFormat : std::uint8_t {
  Number,          // "%d"
  Grouped,         // "%d" with the locale's thousands separator: 12,000
  Decibels,        // tenths of a dB: "-6.0 dB", "-Inf. dB" at or below the floor
  MsAsSeconds,     // milliseconds as "0.400"
  Tenths,          // tenths as "2.0" (seconds, milliseconds, hertz)
  TenthsSec,       // tenths of a second as "2.5 sec."
  MsOrOff,         // "30 ms.", "Off" for 0
  Percent,         // "%d %"
  TenthsHz,        // tenths of a hertz as "2.5 Hz"
  None,            // a switch, a list row or a value no text shows
};

// What a field measures, for values written in real units. Each has a base
// unit that a bare number means: seconds, dB, percent, Hz, bpm, cents.
enum class Quantity : std::uint8_t { None, OnOff, Time, Level, Percent, Frequency, Tempo, Cents };

struct FieldInfo {
  const char* name;  // the block's field name; array elements as "tapGain[3]"
  std::size_t offset;
  FieldType type;
  const char* unit;
  FieldRange range = FieldRange::None;
  double lo = 0.0;
  double hi = 0.0;
  FieldSetup setup = FieldSetup::Light;
  ValueFormat format = ValueFormat::None;
  std::int32_t floor = 0;          // Decibels: the level at and below which it is silent
  const char* friendly = nullptr;  // what a user may call it instead, in any case: "delay", "gain[3]"
  Quantity quantity = Quantity::None;
  double step = 1.0;                 // one raw unit in the quantity's base unit: 0.001 for ms
  const char* switchedBy = nullptr;  // the on/off field without which a frequency does nothing
  FieldUse use = FieldUse::Stream;
  const char* (*rowName)(int row) = nullptr;  // Table rows: a row's name, null past the last
  bool playsOther = false;           // Table and Positive rows: outside [lo, hi] a stream plays `other`
  double other = 0.0;

  // Built up in the tables: IntField(...).Ranged(1, 5000).Full().Shows(ValueFormat::MsAsSeconds).
  constexpr FieldInfo Ranged(double l, double h) const { return With(FieldRange::Clamped, l, h); }
  constexpr FieldInfo AtMost(double h) const { return With(FieldRange::Ceiling, lo, h); }
  constexpr FieldInfo Rows(double l, double h) const { return With(FieldRange::Table, l, h); }
  constexpr FieldInfo PositiveOnly(double playedLo, double playedHi) const {
    return With(FieldRange::Positive, playedLo, playedHi);
  }
  // A value a stream plays for any stored one outside [lo, hi], in place of the nearest.
  constexpr FieldInfo Otherwise(double plays) const {
    FieldInfo f = *this;
    f.playsOther = true;
    f.other = plays;
    return f;
  }
  constexpr FieldInfo Full() const {
    FieldInfo f = *this;
    f.setup = FieldSetup::Full;
    return f;
  }
  constexpr FieldInfo Shows(ValueFormat how) const {
    FieldInfo f = *this;
    f.format = how;
    return f;
  }
  // The friendly name, and what one raw unit is worth: .Says("delay", Quantity::Time, 0.001).
  constexpr FieldInfo Says(const char* said, Quantity q = Quantity::None, double rawStep = 1.0) const {
    FieldInfo f = *this;
    f.friendly = said;
    f.quantity = q;
    f.step = rawStep;
    return f;
  }
  // A frequency that acts only while the field `switchName` is non-zero.
  constexpr FieldInfo SwitchedBy(const char* switchName) const {
    FieldInfo f = *this;
    f.switchedBy = switchName;
    return f;
  }
  constexpr FieldInfo Used(FieldUse how) const {
    FieldInfo f = *this;
    f.use = how;
    return f;
  }
  // The rows' names, for lists: .Named(&StretchModeName).
  constexpr FieldInfo Named(const char* (*name)(int)) const {
    FieldInfo f = *this;
    f.rowName = name;
    return f;
  }
  // A level in tenths of a dB, silent at and below `silent`.
  constexpr FieldInfo Level(std::int32_t silent) const {
    FieldInfo f = Shows(ValueFormat::Decibels);
    f.floor = silent;
    return f;
  }

 private:
  constexpr FieldInfo With(FieldRange r, double l, double h) const {
    FieldInfo f = *this;
    f.range = r;
    f.lo = l;
    f.hi = h;
    return f;
  }
};

using FieldTable = std::span<const FieldInfo>;

// The name and offset of a block member, spelt once: QUILL_FIELD_AT(Block, tapGain[3]).
#define QUILL_FIELD_AT(Block, member) #member, offsetof(Block, member)

constexpr FieldInfo IntField(const char* name, std::size_t offset, const char* unit) {
  return FieldInfo{name, offset, FieldType::Int32, unit};
}
constexpr FieldInfo DoubleField(const char* name, std::size_t offset, const char* unit) {
  return FieldInfo{name, offset, FieldType::Double, unit};
}

// The row that describes the block's bytes at `offset`; null if none does.
const FieldInfo* FieldAt(FieldTable table, std::size_t offset);

// Brings `value` into the field's range as its setter does; true if it had to.
bool LimitValue(const FieldInfo& field, std::int32_t& value);
bool LimitValue(const FieldInfo& field, double& value);

// What a stream plays for a stored value (see FieldRange): Table and
// Positive rows bring a value outside [lo, hi] to the nearest end (a NaN to
// lo), or to the row's `other`; every other row plays what it stores.
double PlayedValue(const FieldInfo& field, double value);
// Every field of a block as a stream plays it; the engines' snapshots.
void PlayBlock(FieldTable table, void* block);

// Clamps every ranged field of a whole block, as SetParams and Load do, and
// gives a Positive field that is not a positive finite number the value it
// has in `current` (the block being replaced); true if any field had to change.
bool ClampBlock(FieldTable table, void* block, const void* current);

// The text a page shows for the value; `thousands` is the locale's separator.
std::string ValueText(const FieldInfo& field, std::int32_t value, char thousands = ',');

// Exact, case-sensitive match; null if the table has no such field.
const FieldInfo* FindField(FieldTable table, std::string_view name);
// By friendly name, case-insensitive; null if no row says it.
const FieldInfo* FindFriendly(FieldTable table, std::string_view name);

double ReadFieldValue(const void* block, const FieldInfo& field);
// `value` must suit the field's type (see ParseFieldValue).
void WriteFieldValue(void* block, const FieldInfo& field, double value);

// A decimal integer within 32 bits for Int32 fields, a finite decimal number
// for Double fields; false for anything else, leaving `value` alone.
bool ParseFieldValue(const FieldInfo& field, std::string_view text, double& value);

// Integers without a fraction, doubles with as many digits as they need.
std::string FieldValueText(const FieldInfo& field, double value);

// "1..5000 ms", "-800..0 tenths of a dB", "rows 0..18", "on/off".
std::string FieldRangeText(const FieldInfo& field);

// Whether a stream plays the value as it stands: within a clamped range or
// under a ceiling, a row of its table, within a positive row's [lo, hi].
bool WithinRange(const FieldInfo& field, double value);

// What a fader or a host's control offers: the row's range, but a level
// stored without one, or under a ceiling far above 0 dB (which only keeps
// its gain finite), from silence to 0 dB.
void ControlReach(const FieldInfo& field, double& lowest, double& highest);

// One requested change and what became of it.
struct FieldEdit {
  const FieldInfo* field;
  double requested;
  double stored = 0.0;  // filled in by CheckEdits
  // Set for a frequency given by its friendly name: its switch, turned on
  // with it so that the frequency is heard.
  const FieldInfo* turnsOn = nullptr;
};

// In order; an edit's switch is turned on with it.
void ApplyEdits(void* block, std::span<const FieldEdit> edits);

// After the block went through SetParams and back: records what each field
// now holds and returns the edits whose value was not kept as requested
// (clamped), and those kept but not played as they stand (a row outside
// the effect's table). A field edited twice is judged by its last request
// only.
std::vector<FieldEdit> CheckEdits(const void* block, std::vector<FieldEdit>& edits);

}  // namespace quill
