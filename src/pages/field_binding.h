// One binding for every control that edits a record field. A page states its bound
// controls as rows; FieldBinding applies the same rule to each of them:
//  - a change the user makes (focused edit, held or focused track bar, clicked box)
//    parses through the one number-text parser, marks text that is no number, stores
//    the value cut to the field's width, moves the paired control, runs the row's
//    hook and raises the record's write request under StateLock; leaving an edit
//    shows the stored value again, and a wheel over an unfocused control scrolls
//    the page instead of changing the value;
//  - refresh() rewrites every control that does not have the user's focus.
#pragma once

#include "link/records.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QAbstractSlider;
class QLineEdit;
class QWidget;

namespace quenda {

class WindowServices;
class DeviceState;
struct TConfig;

// How a field's value reads as text (edits) or as a state (buttons).
enum class Conv : uint8_t {
    Whole,        // the number as it is
    LevelPercent, // 0..4096 shown as percent, "0.##"
    LevelByte,    // 0..255 shown as percent, "0.#"
    Tenths,       // tenths shown as "0.0"
    TenthsShort,  // tenths shown as "0.#"
    Temp,         // tenths of a degree Celsius in the user's unit (TempText/ParseTemp)
    FlagBit,      // a check box on the bits of `value`
    Radio,        // a radio button that stores `value`
    FlagBitClear, // a radio button that clears the bits of `value` (its sibling, FlagBit, sets them)
};

struct FieldBind {
    const char* control;     // object name; "%1" stands for the element index
    RecordKind record;       // Info, Config, Expert or ExpertWeather
    const char* field;       // code name in the record's field table
    Conv conv = Conv::Whole;
    uint32_t request = 0;    // the record's write request
    int value = 0;           // bit mask (FlagBit) or stored value (Radio)
    const char* partner = nullptr; // paired track bar ("%1" as above)
    int min = 0, max = 0, pageStep = 1, tick = 0;
};

// Behaviour a row may add to the plain rule.
struct BindExtras {
    // Track-bar path only: the position the bar may take, given the one the user chose
    // (keeps neighbouring bars in order). Runs before the value is stored.
    std::function<int(int index, int position)> clampBar;
    // A radio button that stores its value whenever it is selected, also by a refresh
    // (then its hook runs too), but raises the request only while it has the focus.
    bool raiseOnlyFocused = false;
    // Runs after a user's change was stored, before the request: false raises nothing
    // (a change that spans several controls failed part-way).
    std::function<bool(int index)> accept;
};

// Text of a raw field value and back. Parsing gives nothing for text that is no number;
// its result is not range-checked (the field keeps it cut to its width).
QString fieldText(Conv conv, int64_t raw, const TConfig& config);
std::optional<int64_t> parseFieldText(Conv conv, const QString& text, const TConfig& config);

class FieldBinding : public QObject {
    Q_OBJECT
public:
    // Controls are looked up under `page` by object name.
    FieldBinding(WindowServices& win, QWidget* page);

    // Binds `row` for the elements first..first+count-1 (one row per element).
    // The hook runs after each user change has been stored, with the element index.
    void add(const FieldBind& row, int first = 0, int count = 1, std::function<void(int index)> hook = {},
             BindExtras extras = {});

    // Rewrites every bound control of `record` (all records when empty) that does not have the user.
    void refresh(std::optional<RecordKind> record = std::nullopt);
    // Rewrites the controls of one element regardless of focus (a button set the value).
    void show(RecordKind record, const char* field, int index);

    QWidget* control(const char* field, int index) const;

private:
    struct Bound {
        FieldBind row;
        const FieldDesc* desc;
        int index;
        QWidget* control;
        QAbstractSlider* partner;
        std::function<void(int)> hook;
        BindExtras extras;
    };
    void* record(RecordKind kind) const;
    int64_t read(const Bound& b) const;
    void store(const Bound& b, int64_t v);
    void showControl(const Bound& b, bool force);
    void showPartner(const Bound& b, int64_t v, bool force);
    void edited(const Bound& b, const QString& text);
    void slid(const Bound& b, QAbstractSlider* s, int position);
    void clicked(const Bound& b, bool checked);

    WindowServices& win_;
    QWidget* page_;
    std::vector<Bound> rows_;
};

} // namespace quenda
