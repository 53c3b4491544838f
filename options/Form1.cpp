// The options window's layout and its buttons.
#include "options/Form1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "services/Association.h"
#include "services/Choosers.h"
#include "services/Desktop.h"
#include "services/RadioGroup.h"
#include "services/Twips.h"

Form1::Form1(const GlobalOptions& current, QWidget* parent) : QDialog(parent), current_(current)
{
    createControls();
    setTabOrderByScreen();
    connectSignals();
}

void Form1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("設定"));
    setFixedSize(TwipsToPixels(4710), TwipsToPixels(3450));
    setModal(true);

    Check1 = Placed(new QCheckBox(QStringLiteral("最前面表示"), this), "Check1", 120, 120, 1215, 255);
    Command2 = Placed(new QPushButton(QStringLiteral("OK"), this), "Command2", 2520, 120, 975, 255);
    Command3 = Placed(new QPushButton(QStringLiteral("CANCEL"), this), "Command3", 3600, 120, 975, 255);

    Frame2 = Placed(new QGroupBox(QStringLiteral("拡張子省略時"), this), "Frame2", 0, 480, 4695, 615);
    Option2[0] = Placed(new QRadioButton(QStringLiteral("LZHとみなす"), Frame2), "Option2(0)", 240, 240, 1575, 255);
    Option2[1] = Placed(new QRadioButton(QStringLiteral("ZIPとみなす"), Frame2), "Option2(1)", 2640, 240, 1575, 255);

    Frame1 = Placed(new QGroupBox(QStringLiteral("作業終了時"), this), "Frame1", 0, 1110, 4695, 1215);
    Option1[0] = Placed(new QRadioButton(QStringLiteral("Beep音"), Frame1), "Option1(0)", 240, 240, 975, 255);
    Option1[1] = Placed(new QRadioButton(QStringLiteral("Wavファイル"), Frame1), "Option1(1)", 240, 480, 1335, 255);
    Text1 = Placed(new QLineEdit(Frame1), "Text1", 600, 720, 3615, 270);
    Command1 = Placed(new QPushButton(QStringLiteral("..."), Frame1), "Command1", 4320, 720, 255, 255);

    Frame3 = Placed(new QGroupBox(QStringLiteral("参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"), this), "Frame3", 0, 2400, 4695, 615);
    Text3 = Placed(new QLineEdit(Frame3), "Text3", 120, 240, 4095, 270);
    Command5 = Placed(new QPushButton(QStringLiteral("..."), Frame3), "Command5", 4320, 240, 255, 255);
    Command5->setToolTip(QStringLiteral("参照"));

    Command4 = Placed(new QPushButton(QStringLiteral("LZH、ZIPファイルへの再関連付け"), this), "Command4", 120, 3120,
                      4455, 255);

    option1Group_ = new QButtonGroup(this);
    option1Group_->addButton(Option1[0], 0);
    option1Group_->addButton(Option1[1], 1);
    option2Group_ = new QButtonGroup(this);
    option2Group_->addButton(Option2[0], 0);
    option2Group_->addButton(Option2[1], 1);
    MakeOneTabStop(option1Group_);
    MakeOneTabStop(option2Group_);
}

void Form1::setTabOrderByScreen()
{
    // Top to bottom, left to right; each group of option buttons is one stop, at its choice.
    QWidget* const order[] = {Check1,     Command2, Command3, Option2[0], Option2[1], Option1[0],
                              Option1[1], Text1,    Command1, Text3,      Command5,   Command4};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::connectSignals()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::pickSoundFile);
    connect(Command5, &QPushButton::clicked, this, &Form1::pickBrowseDirectory);
    connect(Command2, &QPushButton::clicked, this, &Form1::acceptOptions);
    connect(Command3, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command4, &QPushButton::clicked, this, &Form1::reassociate);
}

void Form1::Intoform()
{
    Text1->setText(current_.SoundFile);
    Text3->setText(current_.DefaultBrowseDir);
    Check1->setChecked(current_.AlwaysOnTop == 1);
    if (QAbstractButton* button = option1Group_->button(current_.NotifyMode))
        button->setChecked(true);
    if (QAbstractButton* button = option2Group_->button(current_.DefaultArchiveType))
        button->setChecked(true);
}

void Form1::pickSoundFile()
{
    // Starts where the default directory stood when the window opened: the globals change
    // only on OK, whatever Text3 holds now.
    const QString chosen = PickFile(this, QStringLiteral("WAVﾌｧｲﾙ") + QChar(u'\0') + QStringLiteral("*.wav"),
                                    current_.DefaultBrowseDir, QStringLiteral("Wavﾌｧｲﾙの選択"));
    if (!chosen.isEmpty())
        Text1->setText(chosen);
}

void Form1::pickBrowseDirectory()
{
    const QString chosen = PickFolder(this, QStringLiteral("参照ﾎﾞﾀﾝで最初に開くﾃﾞｨﾚｸﾄﾘ"), Text3->text());
    if (!chosen.isEmpty())
        Text3->setText(chosen);
}

GlobalOptions Form1::options() const
{
    GlobalOptions options;
    options.SoundFile = Text1->text();
    options.DefaultBrowseDir = Text3->text();
    options.AlwaysOnTop = Check1->isChecked() ? 1 : 0;
    options.NotifyMode = Option1[1]->isChecked() ? 1 : 0;
    options.DefaultArchiveType = Option2[1]->isChecked() ? 1 : 0;
    return options;
}

void Form1::acceptOptions()
{
    const GlobalOptions accepted = options();
    emit optionsAccepted(accepted);
    SaveGlobalOptions(accepted);
    accept();
}

void Form1::reassociate()
{
    AssociateArchives();
    desktop().showMessage(this, QStringLiteral("LZH、ZIPファイルに、再度関連付けをおこないました"), QString());
}
