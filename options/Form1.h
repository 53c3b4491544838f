// The modal options window: the five global options and the re-association.
#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class Form1 final : public QDialog {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    // Fills the controls from the global options.
    void Intoform();

    QCheckBox* Check1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option2[2] = {};
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Option1[2] = {};
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command4 = nullptr;

    void pickSoundFile();
    void pickBrowseDirectory();
    void acceptOptions();
    void reassociate();

private:
    void createControls();
    void setTabOrderByIndex();
    void connectSignals();

    QButtonGroup* option1Group_ = nullptr;
    QButtonGroup* option2Group_ = nullptr;
};

// Every opener's sequence: a fresh window, Intoform, shown modally; gone when closed.
void OpenOptionsWindow(QWidget* opener);
