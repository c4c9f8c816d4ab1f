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
        <translation>--connect-timeout の値が正しくありません: 「%1」（秒数。0 なら打ち切りません）</translation>
    </message>
    <message>
        <source>bad value for --progress: &quot;%1&quot; (auto, bar, lines or none)</source>
        <translation>--progress の値が正しくありません: 「%1」（auto、bar、lines、none のいずれか）</translation>
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
    <message>
        <source>not an IPv4 address as KORIMA reads one: write four decimal numbers from 0 to 255 with dots between them, such as 192.168.1.100</source>
        <translation>KORIMA では使えない IPv4 アドレスの書き方です。0〜255 の10進数4つを「.」で区切って書いてください（例: 192.168.1.100）</translation>
    </message>
    <message>
        <source>--hosts %1: cannot be read: %2</source>
        <translation>--hosts %1 を読めません: %2</translation>
    </message>
    <message>
        <source>%1:1: UTF-16 text; save the file as UTF-8 or ASCII</source>
        <translation>%1:1: UTF-16 のテキストです。UTF-8 か ASCII で保存し直してください</translation>
    </message>
    <message>
        <source>a NUL byte; the file is not text</source>
        <translation>NUL バイトがあります。テキストファイルではありません</translation>
    </message>
    <message>
        <source>not a HOST or HOST:PORT: &quot;%1&quot;</source>
        <translation>HOST か HOST:PORT の形式ではありません: 「%1」</translation>
    </message>
    <message>
        <source>%1 needs a file name</source>
        <translation>%1 にはファイル名を指定してください</translation>
    </message>
    <message>
        <source>bad value for --since: &quot;%1&quot; (a date, YYYY-MM-DD)</source>
        <translation>--since の値が正しくありません: 「%1」（日付。YYYY-MM-DD）</translation>
    </message>
    <message>
        <source>--since goes with --history</source>
        <translation>--since は --history と組み合わせて指定してください</translation>
    </message>
    <message>
        <source>no FILE goes with --check-hosts or --history</source>
        <translation>--check-hosts と --history には、送信するファイルを指定できません</translation>
    </message>
    <message>
        <source>: --history %1: cannot be read</source>
        <translation>: --history %1 を読めません</translation>
    </message>
    <message>
        <source>complete %1  failed %2</source>
        <translation>完了 %1  失敗 %2</translation>
    </message>
    <message>
        <source>: bad value for --host: &quot;%1&quot; (HOST or HOST:PORT)</source>
        <translation>: --host の値が正しくありません: 「%1」（HOST か HOST:PORT）</translation>
    </message>
    <message>
        <source>: %1 and %2 are the same cradle (see korima-send --help)</source>
        <translation>: %1 と %2 は同じクレードルです（korima-send --help を参照してください）</translation>
    </message>
    <message>
        <source>: no *.csv or *.txt file to send</source>
        <translation>: 送信する *.csv や *.txt のファイルがありません</translation>
    </message>
    <message>
        <source>: neither UTF-8 nor Shift-JIS (CP932); --encoding cp932 sends it as it is</source>
        <translation>: UTF-8 でも Shift-JIS (CP932) でもありません。--encoding cp932 を指定すれば、そのまま送信します</translation>
    </message>
    <message>
        <source>UTF-8: converted to Shift-JIS (CP932)</source>
        <translation>UTF-8 のファイル: Shift-JIS (CP932) に変換して送信</translation>
    </message>
    <message>
        <source>UTF-16: converted to Shift-JIS (CP932)</source>
        <translation>UTF-16 のファイル: Shift-JIS (CP932) に変換して送信</translation>
    </message>
    <message>
        <source>reads as UTF-8 too (line %1, column %2), but nothing in it needs UTF-8: sent as Shift-JIS, as it is; --encoding utf-8 converts it</source>
        <translation>UTF-8 としても読めます（%1 行目 %2 文字目）が、UTF-8 でなければ書けない文字がないため、Shift-JIS とみなしてそのまま送信します。UTF-8 のファイルなら、--encoding utf-8 を指定すると変換します</translation>
    </message>
    <message>
        <source>not sent: the run was interrupted</source>
        <translation>未送信（実行を中断したため）</translation>
    </message>
    <message>
        <source>not sent: a transfer before it failed</source>
        <translation>未送信（前の送信が失敗したため）</translation>
    </message>
    <message>
        <source>: --log %1: cannot be written: %2</source>
        <translation>: --log %1 に書き込めません: %2</translation>
    </message>
    <message>
        <source>the last terminal failed: waiting before the next one</source>
        <translation>前の端末への送信が失敗したため、次の端末まで間を置いています</translation>
    </message>
    <message>
        <source>nothing to send: looking again</source>
        <translation>送信するファイルがないため、数秒ごとに見直しています</translation>
    </message>
    <message>
        <source>terminals %1</source>
        <translation>端末 %1 台</translation>
    </message>
    <message>
        <source>: cradles: %1</source>
        <translation>: クレードル %1 台</translation>
    </message>
</context>
<context>
    <name>korima::send::Usage</name>
    <message>
        <source>Usage: korima-send [OPTIONS] FILE...
       korima-send --check-hosts FILE
       korima-send --history LOG [--since YYYY-MM-DD] [--json]
Sends each FILE into the handheld terminal in its cradle, as KORIMA&apos;s start
button does: &quot;MASTER&quot; until the terminal answers, one packet per line, &quot;END&quot;.
A FILE may be a folder: its *.csv and *.txt files, as the window lists them.
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
  --encoding ENC         auto (default): UTF-8 and UTF-16 files are converted
                         to CP932, Shift-JIS and ASCII are sent as they are
                         cp932: every file is sent as it is
                         utf-8: every file is converted
                         Every file is read through before it is sent.
  --connect-timeout S    give up when &quot;MASTER&quot; has had no answer for S seconds
                         (default 0: never)
  --repeat[=N]           after each terminal, wait for the next one in the
                         cradle: N terminals in all (default: until a signal)
  --keep-going           with --repeat: a terminal that fails is recorded, and
                         the cradle waits for the next one
  --progress=MODE        auto (default: a bar on a tty, lines otherwise),
                         bar, lines or none
  -q, --quiet            print only failures
  --json                 one JSON object per cradle and file on standard
                         output, as each ends
  --log FILE             append the same objects to FILE, one a line
  --check-hosts FILE     check a hosts file, send nothing
  --history LOG          terminals and files by day and cradle, from a log
  --since YYYY-MM-DD     with --history: from that day on
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
given, that failed. With --keep-going, a signal ends the run with 0, or with
130 when it cut a transfer off.
Details: man korima-send
</source>
        <translation>使い方: korima-send [オプション] ファイル...
        korima-send --check-hosts FILE
        korima-send --history LOG [--since YYYY-MM-DD] [--json]
各ファイルを、KORIMA の「通信ｽﾀｰﾄ」と同じ手順で、クレードルに置いた端末へ
送信する。端末が応答するまで「MASTER」を送り、1行を1パケットで送って、
最後に「END」を送る。ファイルにはフォルダーも指定でき、その中の *.csv と
*.txt を、ウィンドウ版の一覧と同じ順に送る。ファイルは指定した順に送り、
クレードルごとに、最初の失敗でそのクレードルの送信を終える。複数の
クレードルへは同時に送信する。

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
  --encoding ENC         auto（既定）: UTF-8 と UTF-16 のファイルは CP932 に
                         変換し、Shift-JIS と ASCII はそのまま送信する
                         cp932: どのファイルもそのまま送信する
                         utf-8: どのファイルも変換する
                         どのファイルも、送信の前に最後まで読んで確かめる
  --connect-timeout S    「MASTER」に S 秒応答がなければ打ち切る
                         （既定 0: 打ち切らない）
  --repeat[=N]           端末ごとの送信が終わると、クレードルに置かれる次の
                         端末を待つ。全部で N 台（既定: シグナルまで）
  --keep-going           --repeat と組み合わせる。失敗した端末は記録して、
                         クレードルは次の端末を待つ
  --progress=MODE        auto（既定。ターミナル画面ではバー、それ以外は行）、
                         bar、lines、none
  -q, --quiet            失敗だけを表示する
  --json                 クレードルとファイルごとに、終わった時点で JSON
                         オブジェクトを1つ標準出力に書く
  --log FILE             同じ JSON オブジェクトを FILE に1行ずつ追記する
  --check-hosts FILE     --hosts の FILE を確かめるだけで、何も送信しない
  --history LOG          ログを日とクレードルごとに集計し、完了と失敗の
                         端末の台数と、受け取ったファイルを表示する
  --since YYYY-MM-DD     --history と組み合わせる。その日以降に限る
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
--keep-going では、シグナルで終えると 0（送信を途中で打ち切ったときは 130）。
詳しくは man korima-send を参照。
</translation>
    </message>
</context>
</TS>
