// The compression window: names the archive and its directory, and packs the dropped files.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include "freeze/FreezeRun.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class JobRunner;
class Session;

class freezeform final : public QMainWindow {
    Q_OBJECT

public:
    explicit freezeform(Session& session);

    // Fills the options and the directory history from the settings store, and writes them back.
    void loaddata();
    void savedata();

    QGroupBox* Frame3 = nullptr;  // "圧縮": holds every visible control
    QLabel* Label4 = nullptr;
    QLineEdit* Text1 = nullptr;  // the archive's name; the extension may be left out
    QLabel* Label3 = nullptr;
    QComboBox* Text2 = nullptr;  // the target directory; its list is FreezeDirHistory
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QCheckBox* Check2 = nullptr;  // "圧縮後にﾌｫｰﾑを閉じる"
    QCheckBox* Check1 = nullptr;  // show the completion message
    QPushButton* defbutton = nullptr;
    QLabel* omsgbox = nullptr;  // hints
    QPushButton* freezebutton = nullptr;
    QPushButton* tofreeze = nullptr;
    QPushButton* endbutton = nullptr;
    QLineEdit* Text = nullptr;  // scratch field below the client area, never seen
    QTimer* Timer1 = nullptr;   // picks up files dropped on this window

    QAction* mfreeze = nullptr;
    QAction* mmelt = nullptr;
    QAction* mend = nullptr;
    QAction* moption = nullptr;

    QStringList FreezeDirHistory;  // five entries, 0 the newest

    // Packs DroppedFiles into the archive named by Text1 in the directory of Text2, on a
    // worker thread.
    void freezeFiles();
    // Save and ask the shell to unload the window and hand drops back to the icon. While a
    // job runs, asks first whether to stop it, and closes once it stopped.
    void closeWindow();
    // Save and ask the shell to open the extraction window in this one's place.
    void switchToMelt();
    bool jobRunning() const;
    // Cancels the running job; the window then ends quietly and, when `thenClose`, closes.
    void stopJob(bool thenClose);
    void pickDirectory();
    void storeDefaultDirectory();
    void openOptions();

signals:
    void closed();
    void switchRequested();
    void optionsRequested();
    // The window's drop procedure is to be removed (false) or installed again (true).
    void dropReceptionWanted(bool wanted);
    void jobFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter presses the focused button, else the main one; Esc takes the close path.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void setTabOrderByIndex();
    void connectSignals();
    void onTimer1();
    // The run behind both triggers; a drop-started run takes over the window's drop reception.
    void runFreeze(bool startedByDrop);
    void listHistory();
    QString backgroundHint() const;

    void applyOutcome(const FreezeOutcome& outcome, const QString& archivePath);

    Session& session_;
    QPointer<JobRunner> runner_;
    bool running_ = false;
    bool quietEnding_ = false;
    bool closeAfterJob_ = false;
};
