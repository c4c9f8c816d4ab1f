<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>korima::send::Sender</name>
    <message>
        <source> (see korima-send --help)</source>
        <translation>（korima-send --help を参照してください）</translation>
    </message>
    <message>
        <source>bad value for --repeat: &quot;%1&quot; (a number of terminals, 1 or more)</source>
        <translation>--repeat の値が正しくありません: 「%1」（端末の台数。1 以上）</translation>
    </message>
    <message>
        <source>no FILE given</source>
        <translation>ファイルが指定されていません</translation>
    </message>
    <message>
        <source>an empty FILE name</source>
        <translation>ファイル名が空です</translation>
    </message>
    <message>
        <source>--host needs a host name or address</source>
        <translation>--host にはホスト名かアドレスを指定してください</translation>
    </message>
    <message>
        <source>bad value for --host: &quot;%1&quot; (HOST or HOST:PORT)</source>
        <translation>--host の値が正しくありません: 「%1」（HOST または HOST:PORT）</translation>
    </message>
    <message>
        <source>--hosts needs a file name</source>
        <translation>--hosts にはファイル名を指定してください</translation>
    </message>
    <message>
        <source>bad value for --port: &quot;%1&quot; (1..65535)</source>
        <translation>--port の値が正しくありません: 「%1」（1〜65535）</translation>
    </message>
    <message>
        <source>bad value for --local-port: &quot;%1&quot; (0..65535)</source>
        <translation>--local-port の値が正しくありません: 「%1」（0〜65535）</translation>
    </message>
    <message>
        <source>--title-line and --no-title-line exclude each other</source>
        <translation>--title-line と --no-title-line は同時に指定できません</translation>
    </message>
    <message>
        <source>--settings needs a file name</source>
        <translation>--settings にはファイル名を指定してください</translation>
    </message>
    <message>
        <source>bad value for --encoding: &quot;%1&quot; (auto, cp932 or utf-8)</source>
        <translation>--encoding の値が正しくありません: 「%1」（auto、cp932、utf-8 のいずれか）</translation>
    </message>
    <message>
        <source>bad value for --connect-timeout: &quot;%1&quot; (seconds, 0 for none)</source>
        <translation>--connect-timeout の値が正しくありません: 「%1」（秒数。0 は打ち切らない）</translation>
    </message>
    <message>
        <source>bad value for --progress: &quot;%1&quot; (auto, bar, lines or none)</source>
        <translation>--progress の値が正しくありません: 「%1」（auto、bar、lines、none のいずれか）</translation>
    </message>
    <message>
        <source>: --hosts %1: cannot be read: %2</source>
        <translation>: --hosts のファイル %1 を読めません: %2</translation>
    </message>
    <message>
        <source>: %1:%2: not a HOST or HOST:PORT: &quot;%3&quot; (see korima-send --help)</source>
        <translation>: %1:%2: HOST でも HOST:PORT でもありません: 「%3」（korima-send --help を参照してください）</translation>
    </message>
    <message>
        <source>: no settings file at %1: using the defaults</source>
        <translation>: 設定ファイル %1 がありません。既定値を使います</translation>
    </message>
    <message>
        <source>: the settings file %1 is not valid: using the defaults</source>
        <translation>: 設定ファイル %1 が正しくありません。既定値を使います</translation>
    </message>
    <message>
        <source>: no remote host: give --host, or set it in KORIMA&apos;s 設定 (%1)</source>
        <translation>: リモートホストがありません。--host で指定するか、KORIMA の「設定」で設定してください（%1）</translation>
    </message>
    <message>
        <source>: the settings file (%1) still holds the built-in address %2, which nobody has set up: to send there, confirm it with --host %2</source>
        <translation>: 設定ファイル（%1）のリモートホストは、まだ初期値のアドレス %2 のままです。そこへ送信するときは --host %2 で指定してください</translation>
    </message>
    <message>
        <source>: the cradle %1 is given twice (see korima-send --help)</source>
        <translation>: クレードル %1 が2回指定されています（korima-send --help を参照してください）</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>読めません: %1</translation>
    </message>
    <message>
        <source> (empty file)</source>
        <translation>（空のファイルです）</translation>
    </message>
    <message>
        <source>: UTF-8: converted to Shift-JIS (CP932)</source>
        <translation>: UTF-8 のファイルです。Shift-JIS (CP932) に変換して送信します</translation>
    </message>
    <message>
        <source>line %1, column %2: %3</source>
        <translation>%1 行目 %2 文字目: %3</translation>
    </message>
    <message>
        <source>not valid UTF-8</source>
        <translation>UTF-8 として読めないバイトがあります</translation>
    </message>
    <message>
        <source>a character that Shift-JIS (CP932) cannot represent</source>
        <translation>Shift-JIS (CP932) で表せない文字があります</translation>
    </message>
    <message>
        <source>line %1: %2 bytes, longer than one datagram carries (%3)</source>
        <translation>%1 行目: 1行が長すぎます %2 バイト（上限 %3 バイト）</translation>
    </message>
    <message>
        <source> (local port %1)</source>
        <translation>（ローカルポート %1）</translation>
    </message>
    <message>
        <source>interrupted by a signal</source>
        <translation>シグナルを受けて中断しました</translation>
    </message>
    <message>
        <source>waiting for the terminal: %1 s, MASTER sent %2 times</source>
        <translation>端末の応答待ち: %1 秒、MASTER を %2 回送信</translation>
    </message>
    <message>
        <source>%1% %2/%3 bytes  %4 lines  %5 lines/s</source>
        <translation>%1% %2/%3 バイト  %4 行  %5 行/秒</translation>
    </message>
    <message>
        <source>  %1 s left</source>
        <translation>  残り %1 秒</translation>
    </message>
    <message>
        <source>bad option: %1</source>
        <translation>オプションの誤り: %1</translation>
    </message>
</context>
<context>
    <name>korima::send::Usage</name>
    <message>
        <source>Usage: korima-send [OPTIONS] FILE...
Sends each FILE into the handheld terminal in its cradle, as KORIMA&apos;s start
button does: &quot;MASTER&quot; until the terminal answers, one packet per line, &quot;END&quot;.
Files go in the order given; a cradle&apos;s first failure ends that cradle&apos;s run.
Several cradles run at once.

Settings come from the settings file of the KORIMA window program beside this
one; options override them for this run.
  --host HOST[:PORT]     a cradle&apos;s address; give it once for each cradle
                         (required unless the settings file has one)
  --hosts FILE           cradles from FILE, one HOST or HOST:PORT a line
                         (&quot;#&quot; starts a comment)
  --port N               the cradles&apos; UDP port, where HOST gives none
  --local-port N         the local UDP port to bind, shared by all cradles
  --title-line           line 1 of each file is a title and is not sent
  --no-title-line        line 1 of each file is data
  --settings FILE        read this settings file instead
  --encoding ENC         auto (default): a UTF-8 file is converted to CP932,
                         anything else is sent as it is
                         cp932: every file is sent as it is
                         utf-8: every file is converted
                         Conversions are checked before anything is sent.
  --connect-timeout S    give up when &quot;MASTER&quot; has had no answer for S seconds
                         (default 0: never)
  --repeat[=N]           after each terminal, wait for the next one in the
                         cradle: N terminals in all (default: until a signal)
  --progress=MODE        auto (default: a bar on a tty, lines otherwise),
                         bar, lines or none
  -q, --quiet            print only failures
  --json                 one JSON object per cradle and file on standard
                         output, as each ends
  -h, --help             show this help
  --version              show the version

Exit codes:
  0    every file complete in every cradle (the terminal acknowledged END)
  2    usage or settings error
  3    a file cannot be read, is empty, or cannot be converted
  4    socket error (bind, port, host)
  5    no reply (a line or END timed out, or the connect timeout)
  6    five sends without an ACK, the last answered NAK (a line or END)
  7    BEL
  8    FUL (the terminal&apos;s memory is full)
  130  interrupted (SIGINT or SIGTERM)
With several cradles, the code is that of the first cradle, in the order
given, that failed.
Details: man korima-send
</source>
        <translation>使い方: korima-send [オプション] ファイル...
各ファイルを、クレードルに置いた端末へ、KORIMA の「通信ｽﾀｰﾄ」と同じ手順で
送信する。端末が応答するまで「MASTER」、1行を1パケットで、最後に「END」。
ファイルは指定した順に送り、クレードルごとに、最初の失敗でそのクレードルの
送信を終える。複数のクレードルへは同時に送信する。

設定は、このプログラムと同じ場所にある KORIMA（ウィンドウ版）の設定ファイル
から読む。オプションは、その回に限り設定ファイルより優先する。
  --host HOST[:PORT]     クレードルのアドレス（クレードルごとに1回ずつ）。
                         設定ファイルにホストがないときは必須
  --hosts FILE           FILE からクレードルを読む。1行に HOST か HOST:PORT
                         （「#」から行末まではコメント）
  --port N               HOST にポートがないときの、クレードルの UDP ポート
  --local-port N         バインドするローカル UDP ポート（全クレードル共通）
  --title-line           各ファイルの1行目はタイトルとし、送信しない
  --no-title-line        各ファイルの1行目もデータとして送信する
  --settings FILE        代わりにこの設定ファイルを読む
  --encoding ENC         auto（既定）: UTF-8 のファイルは CP932 に変換し、
                         それ以外はそのまま送信する
                         cp932: どのファイルもそのまま送信する
                         utf-8: どのファイルも変換する
                         変換できるかは、送信を始める前に確かめる
  --connect-timeout S    「MASTER」に S 秒応答がなければ打ち切る
                         （既定 0: 打ち切らない）
  --repeat[=N]           端末ごとの送信が終わると、クレードルに置かれる次の
                         端末を待つ。全部で N 台（既定: シグナルまで）
  --progress=MODE        auto（既定。ターミナル画面ではバー、それ以外は行）、
                         bar、lines、none
  -q, --quiet            失敗だけを表示する
  --json                 クレードルとファイルごとに、終わった時点で JSON
                         オブジェクトを1つ標準出力に書く
  -h, --help             この説明を表示する
  --version              バージョンを表示する

終了コード:
  0    すべてのクレードルで、すべてのファイルの送信が完了（端末が END を確認）
  2    使い方または設定の誤り
  3    ファイルを読めない、空である、または変換できない
  4    ソケットのエラー（バインド、ポート、ホスト）
  5    応答なし（行か END の受信タイムアウト、または接続のタイムアウト）
  6    5回送っても受け取られず、最後が NAK（行か END）
  7    BEL
  8    FUL（端末のメモリがいっぱい）
  130  中断（SIGINT または SIGTERM）
複数のクレードルでは、指定した順で最初に失敗したクレードルのコードになる。
詳しくは man korima-send を参照。
</translation>
    </message>
</context>
</TS>
