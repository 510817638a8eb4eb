#pragma once

#include "Exception.h"
#include "Seams.h"

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

// The options dialog, and the settings store: each setting lives in one control, and the getters
// read the controls at every call. The main window keeps a hidden instance as its live settings.
class TOptions : public QDialog, public IClockSettings
{
public:
    // The default server host, for the initial field and "Default".
    static const char *const DefaultServer;
    static const char *const Section;

    explicit TOptions(ISntpSource *sntp, QWidget *parent = nullptr);

    void LoadFromIni(const std::string &path);
    void SaveToIni(const std::string &path);

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

    // The controls, by their names.
    QPushButton *btnConfirm, *btnCancel;
    QScrollArea *ScrollBox1;
    QFrame *Panel4, *Panel3, *Panel1, *Panel2;
    QCheckBox *cb1, *cb2, *cb3, *cb4;
    QLineEdit *Edit1, *ed1, *ed3, *ed4, *ed5;
    QToolButton *SpeedButton1, *SpeedButton2;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label7, *Label8, *Label10, *Label11;
    QListWidget *clb1, *clb2;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();

    ISntpSource *FSntp;
    bool FTestRunning = false;
};

// The main window's "Options" command: load the dialog when the file exists, scroll to the top,
// show it modally, and on OK save it and reload the live settings from the file. Returns whether
// the user chose OK. show runs the modal showing (QDialog::exec unless a test replaces it).
bool RunOptionsSequence(TOptions &dialog, TOptions &settings, const std::string &iniPath,
    const std::function<int(TOptions &)> &show = {});

// The N of an alarm list item ("15 minutes before opening" gives 15), or -1 when it has none.
int AlarmItemMinutes(const std::string &itemText);

} // namespace quorvane
