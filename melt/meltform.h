// The extraction window: the archive, the destination with its recent list, the options, the
// follow-up for each archive, and the buttons that run, switch to compression and close.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include "melt/MeltRun.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class JobRunner;
class Session;

class meltform final : public QMainWindow {
    Q_OBJECT

public:
    explicit meltform(Session& session);

    // Fills the options, the follow-up, the move directory, the destination history and the
    // destination from the settings store. Text1 is left as the opener set it.
    void loaddata();
    // Writes the options, the follow-up, the move directory and the history back ("meltpath"
    // is written only by defbutton).
    void savedata();

    // Save and ask the shell to unload the window (which then hands drops back to the icon,
    // or ends the program when it was started with files). While a job runs, asks first
    // whether to stop it, and closes once it stopped.
    void closeWindow();
    // Save and ask the shell to open the compression window in this one's place.
    void switchToFreeze();
    // The extraction job over Text1 or the recorded archives, on a worker thread.
    void meltArchives();

    bool jobRunning() const;
    // Cancels the running job; the window then ends quietly (no message) and, when
    // `thenClose`, closes.
    void stopJob(bool thenClose);

    void pickArchive();
    void pickDestination();
    void pickMoveDirectory();
    void saveDefaultDestination();
    void openOptions();

    // The index of the selected follow-up button, 0 to 3.
    int followUpIndex() const;

    QGroupBox* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;  // the archive, or a quoted list of archives
    QPushButton* refbutton = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Text2 = nullptr;  // the destination; its list is MeltDirHistory
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* Option1[4] = {};  // leave, delete, trash, move to Text3
    QLineEdit* Text3 = nullptr;
    QPushButton* Command2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* Check1 = nullptr;  // "書庫名でﾃﾞｨﾚｸﾄﾘ作成"
    QCheckBox* Check3 = nullptr;  // "解凍後にﾌｫｰﾑを閉じる"
    QCheckBox* Check2 = nullptr;  // "解凍後にﾒｯｾｰｼﾞを表示する"
    QPushButton* defbutton = nullptr;
    QLabel* omsgbox = nullptr;
    QPushButton* meltbutton = nullptr;
    QPushButton* tomelt = nullptr;  // switches to the compression window
    QPushButton* endbutton = nullptr;

    QMenu* mfile = nullptr;
    QAction* mmelt = nullptr;
    QAction* mfreeze = nullptr;
    QAction* sep = nullptr;
    QAction* mend = nullptr;
    QAction* moption = nullptr;

signals:
    // The window saved its data and is to be unloaded.
    void closed();
    void switchRequested();
    void optionsRequested();
    // A job ended and its outcome was applied.
    void jobFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter presses the focused button, else the main one; Esc takes the close path.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createFollowUpFrame();
    void createOptionsFrame();
    void createMenus();
    void setTabOrderByTable();
    void connectSignals();
    void watchForHints();

    void applyOutcome(const MeltOutcome& outcome);
    void showDirHistory();

    Session& session_;
    QPointer<JobRunner> runner_;
    bool quietEnding_ = false;
    bool closeAfterJob_ = false;
    QButtonGroup* option1Group_ = nullptr;
};
