// The compression window.
#pragma once

#include <QMainWindow>

class QCheckBox;
class QPushButton;
class QTimer;

class freezeform final : public QMainWindow {
    Q_OBJECT

public:
    freezeform();

    void loaddata();
    void savedata();

    QCheckBox* Check2 = nullptr;  // "圧縮後にﾌｫｰﾑを閉じる"
    QPushButton* freezebutton = nullptr;
    QPushButton* endbutton = nullptr;
    QTimer* Timer1 = nullptr;

    // Save, give up drop reception, unload, and hand drops back to the icon.
    void closeWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
};
