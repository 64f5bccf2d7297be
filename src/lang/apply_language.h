// Loading the interface language and relabelling the main window with it.
//
// Controls are found by objectName, which is the control's name in the
// "[frmQuenda]" table (window->findChild, recursive). How an entry lands:
//
//   Caption
//     - a control with an attached label (see below): the label's text;
//     - QAction: setText; QMenu: setTitle (top-level and sub-menus);
//     - buttons, check boxes, radio buttons (QAbstractButton), QLabel: setText;
//     - QGroupBox: setTitle;
//     - a page of a QTabWidget: that page's tab text (and the page's
//       windowTitle, so a tab that is removed while hidden and added again
//       can take its caption from there);
//     - QPlainTextEdit / QTextEdit: the whole content is replaced;
//     - QLineEdit without a label: its own text; editable QComboBox: its edit
//       text; sliders and other widgets: ignored.
//   Hint
//     - every QWidget, QAction and QMenu: toolTip (of a labelled edit: the
//       edit's, not the label's).
//
// Names that name no control are ignored silently, so the window may lack some.
// '&' in captions marks the keyboard accelerator, as Qt reads it.
//
// Labelled edits: an edit (any widget) names its label through the dynamic
// property "quendaLabel" holding the QLabel as a QObject*. Set it with
// AttachLabel(), which also clears the property when the label is destroyed.
#pragma once

#include "lang/texts.h"

class QLabel;
class QObject;
class QWidget;

namespace quenda {

inline constexpr char kLabelProperty[] = "quendaLabel";

void AttachLabel(QWidget* edit, QLabel* label);
// The label attached to a control, or nullptr.
QLabel* AttachedLabel(const QObject* control);

// The caption a control shows, by the same rules as above (empty for kinds
// without one).
QString CaptionOf(const QObject* control);
void SetCaption(QObject* control, const QString& text);
void SetHint(QObject* control, const QString& text);

// Loads the table (LoadLanguage) and relabels window and everything below it,
// then fills what the table cannot express: cmbLanguage gets "English" and
// "German" in the interface language with the loaded one selected (signals
// blocked, so no change handler runs); btnOn/btnOff 0..11 take the captions of
// btnOn0/btnOff0; lblName0..11 the "lblName0" template with the channel
// letter; tsChannelsGL and tsChannels the "tsChannels" template with "G-L" and
// "A-F"; the chart-source menu items mnuCHM* the captions of their radio
// buttons rbtCHM*; the labels of edtCloudTempWater/edtCloudTempBoard those of
// rbtCHMTempWater/rbtCHMTempBoard. Returns the language loaded (0 or 1).
// window may be nullptr (then only the table is loaded).
// Also installs Qt's own translations for the language (the Yes/No of message
// boxes and the like), see InstallQtTranslations.
int ApplyLanguage(QWidget* window, LanguageChoice choice);

// Qt's own texts in German for kGerman, Qt's built-in English otherwise; true when
// German translations were found and installed (window's thread only).
bool InstallQtTranslations(int language);

} // namespace quenda
