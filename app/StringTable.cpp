#include "app/StringTable.h"

#include <unordered_map>

namespace app {

const wchar_t* LoadStringText(int id) {
    static const std::unordered_map<int, const wchar_t*> texts{
        {103, L"Windows ソケットの初期化に失敗しました。"},
        {120,
         L"ネットワークに問題があります。LANケーブル/無線LANの接続やDNS等を確認して下さい。\n"},
        {121, L"プロキシサーバやファイアウォールで通信が遮断されている可能性があります。\n"},
        {122, L"プロキシ認証に失敗しました。プロキシユーザIDやパスワードを確認して下さい。\n"},
        {123, L"応答が返ってきません。ネットワークに問題が発生している可能性があります。\n"},
        {140, L"Googleアカウントまたはパスワードが間違っています。"},
        {146, L"ネットワークに問題があります。"},
        {167, L"カレンダにアクセスできません"},
        {175,
         L"送信できない文字 (制御文字など) を含む予定があります。この予定はサーバーに送信されず、"
         L"このパソコンにだけ残っています。予定を編集してその文字を取り除いて下さい。"},
        {176, L"予定「%1」(%2) の%3"},
        {177, L"タイトル"},
        {178, L"説明"},
        {179, L"場所"},
        {180, L"内容"},
        // The dispatch window's dialogs.
        {400, L"Googleアカウントの認証に失敗しました。アカウントとパスワードを確認して下さい。"},
        {401, L"Googleアカウント"},
        {402, L"パスワード"},
        {403, L"プロキシサーバを使う"},
        {404, L"プロキシサーバ (ホスト:ポート)"},
        {405, L"プロキシユーザID"},
        {406, L"プロキシパスワード"},
        {407, L"アカウントの設定"},
        {408, L"エラー"},
        {409, L"設定を開く"},
        {410, L"新しいバージョン"},
        {411, L"新しいバージョン %1 が公開されています。(お使いのバージョン: %2)"},
        {412, L"認証エラー"},
        // The program's name as the desktop shows it, and the calendar
        // windows' title.
        {413, L"Daymark カレンダー"},
    };
    const auto it = texts.find(id);
    return it == texts.end() ? L"" : it->second;
}

}  // namespace app
