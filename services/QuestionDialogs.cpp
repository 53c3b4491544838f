// The password and overwrite questions.
#include "services/QuestionDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordDialog::PasswordDialog(QWidget* parent, const QString& archiveName, bool again) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("パスワード"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    QString text = again ? QStringLiteral("パスワードが違います。もう一度入力してください。")
                         : QStringLiteral("パスワードを入力してください");
    text += QStringLiteral("\n書庫: ") + archiveName;
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("prompt"));
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setObjectName(QStringLiteral("password"));
    passwordEdit_->setEchoMode(QLineEdit::Password);
    passwordEdit_->setMinimumWidth(280);
    layout->addWidget(passwordEdit_);
    showText_ = new QCheckBox(QStringLiteral("文字を表示する"), this);
    showText_->setObjectName(QStringLiteral("showText"));
    layout->addWidget(showText_);
    connect(showText_, &QCheckBox::toggled, this,
            [this](bool shown) { passwordEdit_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password); });
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    passwordEdit_->setFocus();
}

QString PasswordDialog::password() const
{
    return passwordEdit_->text();
}

std::optional<QString> AskPassword(QWidget* parent, const QString& archiveName, bool again)
{
    PasswordDialog dialog(parent, archiveName, again);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.password();
}

QString SizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', value < 10 ? 1 : 0) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString TimeText(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QStringLiteral("不明");
}

OverwriteDialog::OverwriteDialog(QWidget* parent, const QString& destination, const Pack::ExistingFile& file)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OverwriteDialog"));
    setWindowTitle(QStringLiteral("上書きの確認"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* question = new QLabel(QStringLiteral("同じ名前で内容の違うﾌｧｲﾙが解凍先にあります。置き換えますか？\n") +
                                    QDir::cleanPath(destination + QLatin1Char('/') + file.path),
                                this);
    question->setTextFormat(Qt::PlainText);
    question->setObjectName(QStringLiteral("question"));
    layout->addWidget(question);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("今あるﾌｧｲﾙ:"), this), 0, 0);
    grid->addWidget(new QLabel(SizeText(file.existingSize), this), 0, 1);
    grid->addWidget(new QLabel(TimeText(file.existingTime), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("書庫のﾌｧｲﾙ:"), this), 1, 0);
    grid->addWidget(new QLabel(SizeText(file.newSize), this), 1, 1);
    grid->addWidget(new QLabel(TimeText(file.newTime), this), 1, 2);
    grid->setHorizontalSpacing(16);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(this);
    const struct {
        const char* caption;
        Pack::Overwrite answer;
    } choices[] = {{"上書き", Pack::Overwrite::Overwrite},
                   {"スキップ", Pack::Overwrite::Skip},
                   {"すべて上書き", Pack::Overwrite::OverwriteAll},
                   {"すべてスキップ", Pack::Overwrite::SkipAll},
                   {"キャンセル", Pack::Overwrite::Cancel}};
    for (const auto& choice : choices) {
        QPushButton* button = buttons->addButton(QString::fromUtf8(choice.caption), QDialogButtonBox::ActionRole);
        const Pack::Overwrite answer = choice.answer;
        connect(button, &QPushButton::clicked, this, [this, answer] {
            answer_ = answer;
            accept();
        });
    }
    layout->addWidget(buttons);
}

Pack::Overwrite AskOverwrite(QWidget* parent, const QString& destination, const Pack::ExistingFile& file)
{
    OverwriteDialog dialog(parent, destination, file);
    dialog.exec();
    return dialog.answer();
}
