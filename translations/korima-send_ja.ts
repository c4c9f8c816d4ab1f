<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>korima::send::Sender</name>
    <message>
        <source>Usage: korima-send [OPTIONS] FILE...
Downloads each FILE into the handheld terminal in its cradle, as KORIMA&apos;s start button does:
&quot;MASTER&quot; until the terminal answers, one packet per line, &quot;END&quot;. Files go in the order given;
a cradle&apos;s first failure ends that cradle&apos;s run. Several cradles run at once.

Settings come from the settings file of the KORIMA window program beside this one;
options override them for this run.
  --host HOST[:PORT]     a cradle&apos;s address; give it once for each cradle (required
                         unless the settings file has one)
  --hosts FILE           cradles from FILE, one HOST or HOST:PORT a line (# comments)
  --check-hosts FILE     only check FILE as --hosts reads it, and the other options;
                         send nothing: exit 0, or 2 naming the bad line
  --port N               the cradles&apos; UDP port, where HOST gives none
  --local-port N         the local UDP port to bind, shared by all cradles
  --title-line           line 1 of each file is a title and is not sent
  --no-title-line        line 1 of each file is data
  --settings FILE        read this settings file instead
  --encoding ENC         auto (default): a UTF-8 file is converted to CP932, anything
                         else is sent as it is; cp932: the file&apos;s bytes as they are;
                         utf-8: every file converted. Conversions are checked before
                         anything is sent
  --connect-timeout S    give up the &quot;MASTER&quot; phase after S seconds (default 0: never)
  --repeat[=N]           after each terminal, wait for the next one in the cradle:
                         N terminals in all (default: until a signal)
  --progress=MODE        auto (default), bar, lines or none
  -q, --quiet            print only failures
  --json                 one JSON object per cradle and file on standard output when it ends
  -h, --help             this text
  --version              the version

Exit codes:
  0    every file complete in every cradle (the terminal acknowledged END)
  2    usage or settings error
  3    a file cannot be read, is empty, or cannot be converted
  4    socket error (bind, port, host)
  5    no reply (a line or END timed out, or the connect timeout)
  6    NAK after five attempts
  7    BEL
  8    FUL (the terminal&apos;s memory is full)
  130  interrupted (SIGINT or SIGTERM)
With several cradles, the code is that of the first cradle, in the order given, that failed.
</source>
        <translation>使い方: korima-send [オプション] ファイル...
各ファイルを、クレードルに置いた端末へ、KORIMAの「通信ｽﾀｰﾄ」と同じ手順で送信します:
端末が応答するまで「MASTER」、1行を1パケットで、最後に「END」。ファイルは指定した順に送信し、
クレードルごとに最初の失敗でそのクレードルの送信を終えます。複数のクレードルへは同時に送信します。

設定は、このプログラムと同じ場所にあるKORIMA(ウィンドウ版)の設定ファイルから読みます。
オプションは、その回に限り設定ファイルより優先します。
  --host HOST[:PORT]     クレードルのアドレス。クレードルごとに1回ずつ指定します
                         (設定ファイルにホストがないときは必須)
  --hosts FILE           FILE からクレードルを読みます。1行に HOST か HOST:PORT (# 以降はコメント)
  --check-hosts FILE     FILE を --hosts と同じように読み、ほかのオプションとともに
                         確かめるだけで、何も送信しません。正しければ 0、誤りがあれば
                         その行を示して 2 で終了します
  --port N               HOST にポートがないときのクレードルのUDPポート
  --local-port N         バインドするローカルUDPポート(すべてのクレードルで共通)
  --title-line           各ファイルの1行目はタイトルで、送信しません
  --no-title-line        各ファイルの1行目もデータとして送信します
  --settings FILE        この設定ファイルを読みます
  --encoding ENC         auto (既定): UTF-8のファイルはCP932に変換し、それ以外はそのまま
                         送信します。cp932: ファイルのバイトをそのまま送信します。
                         utf-8: すべてのファイルを変換します。変換できるかどうかは
                         送信を始める前に確かめます
  --connect-timeout S    「MASTER」を S 秒繰り返しても応答がなければあきらめます
                         (既定 0: あきらめない)
  --repeat[=N]           端末ごとの送信が終わると、クレードルに置かれる次の端末を待ちます。
                         全部で N 台 (既定: シグナルを受けるまで)
  --progress=MODE        auto (既定)、bar、lines、none
  -q, --quiet            失敗だけを表示します
  --json                 クレードルとファイルごとに、終わった時点でJSONオブジェクトを
                         1つ標準出力に書きます
  -h, --help             この説明
  --version              バージョン

終了コード:
  0    すべてのクレードルですべてのファイルの送信が完了 (端末がENDに応答)
  2    使い方または設定の誤り
  3    ファイルを読めない、空である、または変換できない
  4    ソケットのエラー (バインド、ポート、ホスト)
  5    応答なし (行またはENDの受信タイムアウト、接続のタイムアウト)
  6    5回続けてNAK
  7    BEL
  8    FUL (端末のメモリがいっぱい)
  130  中断 (SIGINT または SIGTERM)
複数のクレードルでは、指定した順で最初に失敗したクレードルのコードになります。
日本語の説明書: man korima-send (日本語ロケールで)、README.ja.md。
</translation>
    </message>
    <message>
        <source> (see korima-send --help)</source>
        <translation> (korima-send --help を参照してください)</translation>
    </message>
    <message>
        <source>bad value for --repeat: &quot;%1&quot; (a number of terminals, 1 or more)</source>
        <translation>--repeat の値が正しくありません: &quot;%1&quot; (端末の台数、1以上)</translation>
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
        <translation>--host にはホスト名またはアドレスが必要です</translation>
    </message>
    <message>
        <source>bad value for --host: &quot;%1&quot; (HOST or HOST:PORT)</source>
        <translation>--host の値が正しくありません: &quot;%1&quot; (HOST または HOST:PORT)</translation>
    </message>
    <message>
        <source>--check-hosts needs a file name</source>
        <translation>--check-hosts にはファイル名が必要です</translation>
    </message>
    <message>
        <source>--hosts needs a file name</source>
        <translation>--hosts にはファイル名が必要です</translation>
    </message>
    <message>
        <source>bad value for --port: &quot;%1&quot; (1..65535)</source>
        <translation>--port の値が正しくありません: &quot;%1&quot; (1〜65535)</translation>
    </message>
    <message>
        <source>bad value for --local-port: &quot;%1&quot; (0..65535)</source>
        <translation>--local-port の値が正しくありません: &quot;%1&quot; (0〜65535)</translation>
    </message>
    <message>
        <source>--title-line and --no-title-line exclude each other</source>
        <translation>--title-line と --no-title-line は同時に指定できません</translation>
    </message>
    <message>
        <source>--settings needs a file name</source>
        <translation>--settings にはファイル名が必要です</translation>
    </message>
    <message>
        <source>bad value for --encoding: &quot;%1&quot; (auto, cp932 or utf-8)</source>
        <translation>--encoding の値が正しくありません: &quot;%1&quot; (auto、cp932、utf-8 のいずれか)</translation>
    </message>
    <message>
        <source>bad value for --connect-timeout: &quot;%1&quot; (seconds, 0 for none)</source>
        <translation>--connect-timeout の値が正しくありません: &quot;%1&quot; (秒数。0 は無制限)</translation>
    </message>
    <message>
        <source>bad value for --progress: &quot;%1&quot; (auto, bar, lines or none)</source>
        <translation>--progress の値が正しくありません: &quot;%1&quot; (auto、bar、lines、none のいずれか)</translation>
    </message>
    <message>
        <source>: --hosts %1: cannot be read: %2</source>
        <translation>: --hosts %1 を読めません: %2</translation>
    </message>
    <message>
        <source>: %1:%2: not a HOST or HOST:PORT: &quot;%3&quot; (see korima-send --help)</source>
        <translation>: %1 の %2 行目: HOST でも HOST:PORT でもありません: &quot;%3&quot; (korima-send --help を参照してください)</translation>
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
        <translation>: リモートホストがありません。--host で指定するか、KORIMAの「設定」で設定してください (%1)</translation>
    </message>
    <message>
        <source>: the settings file (%1) still holds the built-in address %2, which nobody has set up: to send there, confirm it with --host %2</source>
        <translation>: 設定ファイル (%1) のリモートホストは、まだ初期値のアドレス %2 のままです。そこへ送信するときは --host %2 で指定してください</translation>
    </message>
    <message>
        <source>: the cradle %1 is given twice (see korima-send --help)</source>
        <translation>: クレードル %1 が2回指定されています (korima-send --help を参照してください)</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>読めません: %1</translation>
    </message>
    <message>
        <source> (empty file)</source>
        <translation> (空のファイルです)</translation>
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
        <translation>UTF-8として読めないバイトがあります</translation>
    </message>
    <message>
        <source>a character that Shift-JIS (CP932) cannot represent</source>
        <translation>Shift-JIS (CP932) で表せない文字があります</translation>
    </message>
    <message>
        <source>line %1: %2 bytes, longer than one datagram carries (%3)</source>
        <translation>%1 行目: %2 バイトで、1つのデータグラムで送れる長さ (%3) を超えています</translation>
    </message>
    <message>
        <source> (local port %1)</source>
        <translation> (ローカルポート %1)</translation>
    </message>
    <message>
        <source>interrupted by a signal</source>
        <translation>シグナルを受けて中断しました</translation>
    </message>
    <message>
        <source>waiting for the terminal: %1 s, MASTER sent %2 times</source>
        <translation>端末の応答待ち: %1 秒、MASTER 送信 %2 回</translation>
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
</TS>
