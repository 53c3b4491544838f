// The compression window: names the archive and its directory, shows the files waiting to be
// packed, and packs them.
#pragma once

#include <QStringList>

#include "freeze/FreezeRun.h"
#include "services/JobWindow.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class Session;

class freezeform final : public JobWindow {
    Q_OBJECT

public:
    explicit freezeform(Session& session);

    // Fills the options and the directory history from the settings store, and writes them back.
    void loaddata();
    void savedata() override;
    // 圧縮: packs the files waiting (the latest drop) into the archive named in the window.
    void startJob() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QList<QWidget*> jobInputs() const override;
    QPushButton* mainButton() const override;

private:
    void createControls();
    void createMenus();
    void setTabOrderByScreen();
    void connectSignals();
    void onTimer1();
    // The run behind both triggers: 圧縮, and a drop on the window picked up by the timer.
    void runFreeze(bool startedByDrop);
    void showPendingFiles();
    void listHistory();
    QString backgroundHint() const;
    void pickDirectory();
    void storeDefaultDirectory();

    QGroupBox* Frame3 = nullptr;  // "圧縮": holds every visible control but the pending files
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
    QLabel* Label5 = nullptr;        // "圧縮するﾌｧｲﾙ :"
    QLabel* pendingFiles = nullptr;  // the first waiting file and how many there are
    QLineEdit* Text = nullptr;       // scratch field below the client area, never seen
    QTimer* Timer1 = nullptr;        // picks up files dropped on this window

    QAction* mfreeze = nullptr;
    QAction* mmelt = nullptr;
    QAction* mend = nullptr;
    QAction* moption = nullptr;

    QStringList FreezeDirHistory;  // five entries, 0 the newest
};

// What the pending-files line says of `files`: "なし", the first file's name, or the first
// file's name and "ほか N 個" for the N others.
QString PendingFilesText(const QStringList& files);
