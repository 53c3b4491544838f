// The extraction window: the archive, the destination with its recent list, the options, the
// follow-up for each archive, and the buttons that run, switch to compression and close.
#pragma once

#include <QMainWindow>

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

class meltform final : public QMainWindow {
    Q_OBJECT

public:
    meltform();

    // Fills the options, the follow-up, the move directory, the destination history and the
    // destination from the settings store. Text1 is left as the opener set it.
    void loaddata();
    // Writes the options, the follow-up, the move directory and the history back ("meltpath"
    // is written only by defbutton).
    void savedata();

    // Save, give up drop reception, unload; then hand drops back to the icon, or end the
    // program when it was started with files.
    void closeWindow();
    // Save, give up drop reception, unload, and open the compression window in its place.
    void switchToFreeze();
    // The extraction run over Text1 or the recorded archives.
    void meltArchives();

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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createFollowUpFrame();
    void createOptionsFrame();
    void createMenus();
    void setTabOrderByTable();
    void connectSignals();
    void watchForHints();

    QButtonGroup* option1Group_ = nullptr;
};
