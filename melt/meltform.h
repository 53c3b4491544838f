// The extraction window.
#pragma once

#include <QMainWindow>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;

class meltform final : public QMainWindow {
    Q_OBJECT

public:
    meltform();

    // Fills the window's fields from the settings store, and writes them back.
    void loaddata();
    void savedata();

    QLineEdit* Text1 = nullptr;   // the archive, or a quoted list of archives
    QCheckBox* Check3 = nullptr;  // "解凍後にﾌｫｰﾑを閉じる"
    QPushButton* tomelt = nullptr;
    QPushButton* endbutton = nullptr;
    QAction* mfreeze = nullptr;

    // Save, give up drop reception, unload; then hand drops back to the icon, or end the
    // program when it was started with files.
    void closeWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();
};
