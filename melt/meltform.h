// The extraction window: the archive, the destination with its recent list, the options, the
// follow-up for each archive, and the buttons that run, switch to compression and close.
#pragma once

#include "melt/MeltRun.h"
#include "services/JobWindow.h"

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
class Session;

class meltform final : public JobWindow {
    Q_OBJECT

public:
    explicit meltform(Session& session);

    // Fills the options, the follow-up, the move directory, the destination history and the
    // destination from the settings store. The archive field is left as the opener set it.
    void loaddata();
    // Writes the options, the follow-up, the move directory and the history back ("meltpath"
    // is written only by defbutton).
    void savedata() override;
    // The archive field: one archive, or a quoted list of archives.
    void setArchive(const QString& archives);
    // Started with names on the command line: the window neither closes itself after a job by
    // choice nor switches to compression.
    void restrictToExtraction();
    // 解凍: extracts the archive of the field, or the archives of the latest drop.
    void startJob() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QList<QWidget*> jobInputs() const override;
    QPushButton* mainButton() const override;

private:
    void createControls();
    void createFollowUpFrame();
    void createOptionsFrame();
    void createMenus();
    void setTabOrderByTable();
    void connectSignals();
    void watchForHints();
    void showDirHistory();
    int followUpIndex() const;
    void pickArchive();
    void pickDestination();
    void pickMoveDirectory();
    void saveDefaultDestination();

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

    QButtonGroup* option1Group_ = nullptr;
};
