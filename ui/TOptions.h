#pragma once

#include "Exception.h"
#include "Seams.h"
#include "TOptionValues.h"

#include <QDialog>

#include <functional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace quorvane {

class EIniFileException : public Exception
{
public:
    using Exception::Exception;
};

// The options dialog, and the settings store. The dialog keeps each setting in one control; the
// main window's live settings are a store that is never shown, and building the controls it never
// shows would cost the idle bar 1.7 MB, so a store holds what they would hold in a record instead.
// Loading, saving and the getters go through that record, read from the controls when there are
// some and written back to them, so both kinds follow the same rules.
class TOptions : public QDialog, public IClockSettings
{
public:
    enum class Kind { Dialog, Store };

    static constexpr const char *DefaultServer = TOptionValues::DefaultServer;
    static const char *const Section;

    explicit TOptions(ISntpSource *sntp, QWidget *parent = nullptr, Kind kind = Kind::Dialog);

    void LoadFromIni(const std::string &path);
    void SaveToIni(const std::string &path);

    // The settings as the controls hold them (as a store holds them), unconverted.
    const TOptionValues &Values() const;
    void SetValues(const TOptionValues &values);

    bool UseSNTP() const override;
    std::string SNTPServer() const override;
    int32_t SNTPPort() const override;
    bool AutoHide() const;
    int32_t AlwaysShowXMinutesBeforeOpening() const;
    int32_t AlwaysShowXMinutesBeforeClosing() const;
    bool ShowEasternTime() const;
    int32_t Transparency() const;
    bool ExtendedHours() const override;
    std::optional<bool> AlarmBox(int32_t minutes, bool beforeClosing) const override;

    void btnConfirmClick();
    void btnCancelClick();
    void SpeedButton1Click();
    // Starts the server test; its message is shown when the answer arrives.
    void SpeedButton2Click();
    bool TestRunning() const { return FTestRunning; }
    void ed5Exit();

    // How the server test shows its message; a modal information box unless a test replaces it.
    std::function<void(const std::string &text)> ShowInformation;

    // The controls, by their names; none in a store.
    QPushButton *btnConfirm = nullptr, *btnCancel = nullptr;
    QScrollArea *ScrollBox1 = nullptr;
    QFrame *Panel4 = nullptr, *Panel3 = nullptr, *Panel1 = nullptr, *Panel2 = nullptr;
    QCheckBox *cb1 = nullptr, *cb2 = nullptr, *cb3 = nullptr, *cb4 = nullptr;
    QLineEdit *Edit1 = nullptr, *ed1 = nullptr, *ed3 = nullptr, *ed4 = nullptr, *ed5 = nullptr;
    QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label10 = nullptr,
           *Label11 = nullptr;
    QListWidget *clb1 = nullptr, *clb2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();

    const Kind FKind;
    ISntpSource *FSntp;
    bool FTestRunning = false;
    // The truth in a store; in a dialog, the controls' states as last read or written.
    mutable TOptionValues FValues;
};

// The main window's "Options" command: load the dialog when the file exists, scroll to the top,
// show it modally, and on OK save it and reload the live settings from the file. Returns whether
// the user chose OK. show runs the modal showing (QDialog::exec unless a test replaces it).
bool RunOptionsSequence(TOptions &dialog, TOptions &settings, const std::string &iniPath,
    const std::function<int(TOptions &)> &show = {});

// The N of an alarm list item ("15 minutes before opening" gives 15), or -1 when it has none.
int AlarmItemMinutes(const std::string &itemText);

} // namespace quorvane
