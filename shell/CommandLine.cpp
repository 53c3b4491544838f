// The command-line scanner, a small state machine over the characters, and the options.
#include "shell/CommandLine.h"

namespace {

// The actions that take names, as --help lists them.
struct ActionOption {
    StartAction action;
    const char* option;
    const char* label;  // the file managers' menu entry
    bool archives;      // names are archives, else files and folders
    const char* japanese;
    const char* english;
};

const ActionOption kActions[] = {
    {StartAction::ExtractHere, "--extract-here", "ここに解凍", true,
     "それぞれの書庫を書庫のある場所に解凍します。一番上の項目が一つだけなら、それをそのまま置きます",
     "extract each archive beside itself, without a doubled folder"},
    {StartAction::ExtractTo, "--extract-to", "解凍先を指定...", true, "解凍ウィンドウを開き、解凍先を選んで解凍します",
     "open the extraction window to choose where"},
    {StartAction::CompressLzh, "--compress-lzh", "LZH に圧縮", false,
     "最初のパスと同じ場所に、一つの LZH 書庫を作ります", "pack the paths into one LZH archive beside the first"},
    {StartAction::CompressZip, "--compress-zip", "ZIP に圧縮", false,
     "最初のパスと同じ場所に、一つの ZIP 書庫を作ります", "pack the paths into one ZIP archive beside the first"},
};

const ActionOption* optionNamed(const QString& argument)
{
    for (const ActionOption& option : kActions) {
        if (argument == QLatin1String(option.option))
            return &option;
    }
    return nullptr;
}

StartCommand wrong(const QString& text)
{
    return {StartAction::Wrong, {}, text};
}

// An option that is not understood came from a script or a typing hand: the list helps there.
StartCommand wrongOption(const QString& text)
{
    return wrong(text + QStringLiteral("\n使い方は pellum --help で確かめてください。"));
}

}  // namespace

QStringList SplitCommandLine(const QString& commandLine, int maximum)
{
    QStringList arguments{QString()};
    int count = 0;
    bool inArgument = false;
    bool inQuotes = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            continue;
        }
        const bool blank = c == u' ' || c == u'\t';
        if (!blank) {
            if (!inArgument) {
                if (count == maximum)
                    break;
                ++count;
                arguments << QString();
                inArgument = true;
            }
            arguments[count] += c;
        } else if (inQuotes) {
            arguments[count] += c;
        } else {
            inArgument = false;
        }
    }
    return arguments;
}

StartCommand ParseStartCommand(const QStringList& arguments)
{
    const ActionOption* chosen = nullptr;
    QString unknown, second;
    QStringList names;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            optionsEnded = true;
            names << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help")) {
            return {StartAction::Help, {}, {}};
        } else if (const ActionOption* option = optionNamed(argument)) {
            if (!chosen)
                chosen = option;
            else if (option != chosen && second.isEmpty())
                second = argument;
        } else if (unknown.isEmpty()) {
            unknown = argument;
        }
    }
    if (!unknown.isEmpty())
        return wrongOption(QStringLiteral("%1 というオプションはありません。").arg(unknown));
    if (!second.isEmpty())
        return wrongOption(QStringLiteral("%1 と %2 は一緒に指定できません。操作は一度に一つだけ指定してください。")
                               .arg(QLatin1String(chosen->option), second));
    if (!chosen)
        return {StartAction::Open, names, {}};
    if (names.isEmpty())
        return wrong(
            QStringLiteral("「%1」する%2が選ばれていません。ﾌｧｲﾙﾏﾈｰｼﾞｬで選んでから、もう一度実行してください。")
                .arg(QString::fromUtf8(chosen->label),
                     chosen->archives ? QStringLiteral("書庫") : QStringLiteral("ﾌｧｲﾙやﾌｫﾙﾀﾞ")));
    return {chosen->action, names, {}};
}

QString HelpText()
{
    QString text = QStringLiteral("使い方 (usage):\n"
                                  "  pellum\n"
                                  "      デスクトップにアイコンを表示します\n"
                                  "      (show the icon on the desktop)\n"
                                  "  pellum 名前...\n"
                                  "      名前を解凍ウィンドウで開きます\n"
                                  "      (open the names in the extraction window)\n");
    for (const ActionOption& option : kActions) {
        text +=
            QStringLiteral("  pellum %1 %2...\n      %3\n      (%4)\n")
                .arg(QLatin1String(option.option), option.archives ? QStringLiteral("書庫") : QStringLiteral("パス"),
                     QString::fromUtf8(option.japanese), QLatin1String(option.english));
    }
    text += QStringLiteral("  pellum --help\n"
                           "      この一覧を表示します\n"
                           "      (show this list)\n"
                           "\n"
                           "  --  オプションの終わりです。後の引数は「-」で始まっていても名前です\n"
                           "      (end of options: every later argument is a name)\n"
                           "\n"
                           "終了ステータス (exit status):\n"
                           "  0  成功しました (success)\n"
                           "  1  失敗したか、キャンセルされました (failed or cancelled)\n"
                           "  2  コマンドラインが正しくありません (bad command line)\n");
    return text;
}
