<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>EditorSettingsDialog</name>
    <message>
        <source>使用するエディタをフルパスで指定して下さい。</source>
        <translation>The editor to use, with its full path:</translation>
    </message>
    <message>
        <source>（指定したエディタで表示できなかった場合は、xdg-open、gedit、mousepad 等を
ご使用下さい。パスを含まない名前は PATH から探します。）</source>
        <translation>(When the editor set here cannot show a report, use xdg-open, gedit, mousepad or
another. A name without a folder is looked up on PATH.)</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>レポートファイルの最大サイズ（ＫＢ）</source>
        <translation>Largest report file size (KB)</translation>
    </message>
    <message>
        <source>ファイルを選択</source>
        <translation>Choose a file</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>qrc:/help/Tolvan32.html</source>
        <translation>qrc:/help/Tolvan32_en.html</translation>
    </message>
</context>
<context>
    <name>ExclusionsDialog</name>
    <message>
        <source>%1 行目のパターンは使えません（%2）: %3</source>
        <translation>The pattern on line %1 cannot be used (%2): %3</translation>
    </message>
    <message>
        <source>除外</source>
        <translation>Exclude</translation>
    </message>
    <message>
        <source>除外するパターン（1 行に 1 つ）</source>
        <translation>Patterns to exclude (one a line)</translation>
    </message>
    <message>
        <source>*.tmp、Thumbs.db&#x3000;… どの階層でもこの名前
node_modules/&#x3000;… 末尾の / はフォルダーだけ
/photos/raw、docs/**/draft*&#x3000;… マスターフォルダーからのパス（** は任意の数のフォルダー）
!keep.tmp&#x3000;… 前の行で除外したものを戻す（除外したフォルダーの中は戻せません）
大文字と小文字は区別します（exFAT・FAT のマスターでは区別しません）。
ミラーリングでも、パターンに当たるバックアップ側の項目は削除しません。</source>
        <translation>*.tmp, Thumbs.db  … this name at any depth
node_modules/  … a trailing / matches folders only
/photos/raw, docs/**/draft*  … a path from the master folder (** for any number of folders)
!keep.tmp  … takes back in what an earlier line excluded (not inside an excluded folder)
Letter case counts (except on an exFAT or FAT master, where it does not).
Even in Mirroring, backup entries that a pattern matches are never removed.</translation>
    </message>
    <message>
        <source>試す（マスターフォルダー内のパス）</source>
        <translation>Try (a path in the master folder)</translation>
    </message>
    <message>
        <source>参照</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>結果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>除外されません</source>
        <translation>Not excluded</translation>
    </message>
    <message>
        <source>%1 行目で除外されます: %2</source>
        <translation>Excluded by line %1: %2</translation>
    </message>
    <message>
        <source>%1 行目で除外から戻されます: %2</source>
        <translation>Taken back in by line %1: %2</translation>
    </message>
    <message>
        <source>ファイルを選択</source>
        <translation>Choose a file</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>除外...</source>
        <translation>Exclude...</translation>
    </message>
</context>
<context>
    <name>Message</name>
    <message>
        <source>マスタードライブ&#x3000;チェック中!!</source>
        <translation>Checking the master drive!!</translation>
    </message>
    <message>
        <source>バックアップドライブ&#x3000;チェック中!!</source>
        <translation>Checking the backup drive!!</translation>
    </message>
    <message>
        <source>ミラーリング&#x3000;実行中!!</source>
        <translation>Mirroring!!</translation>
    </message>
    <message>
        <source>シミュレーション&#x3000;実行中!!</source>
        <translation>Simulating!!</translation>
    </message>
    <message>
        <source>TLVDOS.BAT File&#x3000;作成中!!</source>
        <translation>Writing the TLVDOS.BAT file!!</translation>
    </message>
    <message>
        <source>バックアップ&#x3000;実行中!!</source>
        <translation>Backing up!!</translation>
    </message>
    <message>
        <source> バックアップ用ディスクの空き容量を確認して下さい．</source>
        <translation> Please check the free space on the backup disk.</translation>
    </message>
    <message>
        <source>  継続してもよろしいですか？</source>
        <translation>  Do you want to go on?</translation>
    </message>
    <message>
        <source>バックアップ中にエラーが </source>
        <translation>Errors during the backup: </translation>
    </message>
    <message>
        <source> 件発生しました。レポートファイルを参照して下さい。</source>
        <translation>. Please see the report file.</translation>
    </message>
    <message>
        <source>指定したドライブまたはディレクトリが同じです。バックアップを中止します。</source>
        <translation>The drives or folders given are the same. The backup is cancelled.</translation>
    </message>
    <message>
        <source>ｔｖｆファイルで指定したドライブまたはディレクトリが存在しません。バックアップを中止します。</source>
        <translation>A drive or folder the tvf file names does not exist. The backup is cancelled.</translation>
    </message>
    <message>
        <source>プログラムのフォルダーがTo側に指定したフォルダーの中にあります。ミラーリングを中止します。</source>
        <translation>The program folder is inside the folder given as To. The mirroring is cancelled.</translation>
    </message>
    <message>
        <source>From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。</source>
        <translation>The drive or folder given as From cannot be accessed, or it holds no files.</translation>
    </message>
    <message>
        <source>To側に指定したドライブまたはフォルダーにアクセスできません。</source>
        <translation>The drive or folder given as To cannot be accessed.</translation>
    </message>
    <message>
        <source>実行中にFrom側のフォルダーにアクセスできなくなりました。バックアップを中止しました。</source>
        <translation>The From folder could no longer be accessed during the run. The backup was stopped.</translation>
    </message>
    <message>
        <source>実行中にTo側のフォルダーにアクセスできなくなりました。バックアップを中止しました。</source>
        <translation>The To folder could no longer be accessed during the run. The backup was stopped.</translation>
    </message>
    <message>
        <source>継続しますか？  Error Code : </source>
        <translation>Go on?  Error Code : </translation>
    </message>
    <message>
        <source> を開くことができませんでした。</source>
        <translation> could not be opened.</translation>
    </message>
    <message>
        <source>現在、他のＴＬＶ３２が実行中か、レポートファイルに書き込みできません。</source>
        <translation>Another Tolvane is running, or the report file cannot be written.</translation>
    </message>
    <message>
        <source>実行可能な状態になるまで待機中です。しばらくお待ち下さい。コピーを中止する場合は、以下のボタンを押して下さい。</source>
        <translation>Waiting until the run can start. Please wait. To cancel the copy, press the button below.</translation>
    </message>
    <message>
        <source>の記述内容に誤りがあります。</source>
        <translation> contains an error.</translation>
    </message>
    <message>
        <source>指定したドライブまたはフォルダーにアクセスできませんでした。</source>
        <translation>The drive or folder given could not be accessed.</translation>
    </message>
    <message>
        <source>ファイル出力条件を選択して下さい。</source>
        <translation>Please choose which files to list.</translation>
    </message>
    <message>
        <source>以下の条件で、 </source>
        <translation>With the conditions below, </translation>
    </message>
    <message>
        <source>Tolvane を終了します。</source>
        <translation>Tolvane ends now.</translation>
    </message>
    <message>
        <source>デバイスの準備ができていません。</source>
        <translation>The device is not ready.</translation>
    </message>
    <message>
        <source> を保存できませんでした。</source>
        <translation> could not be saved.</translation>
    </message>
    <message>
        <source>実行中の処理を中断して終了しますか？</source>
        <translation>Stop the run and quit?</translation>
    </message>
    <message>
        <source>OK: 次の項目で中断し、レポートを閉じてから終了します。</source>
        <translation>OK: stop at the next entry, close the report, then quit.</translation>
    </message>
    <message>
        <source>Cancel: 処理を続けます。</source>
        <translation>Cancel: go on with the run.</translation>
    </message>
    <message>
        <source>レポートファイルを開けませんでした。</source>
        <translation>The report file could not be opened.</translation>
    </message>
    <message>
        <source>レポートファイルはまだありません。</source>
        <translation>There is no report file yet.</translation>
    </message>
    <message>
        <source>レポートファイルの最大サイズ（ＫＢ）は、1 から 32767 までの数値で指定して下さい。</source>
        <translation>Give the largest report file size (KB) as a number from 1 to 32767.</translation>
    </message>
    <message>
        <source>実行中の処理を中断しますか？</source>
        <translation>Stop the run?</translation>
    </message>
    <message>
        <source>OK: 次の項目で中断し、レポートを閉じます。</source>
        <translation>OK: stop at the next entry and close the report.</translation>
    </message>
    <message>
        <source> と、このマシン用の </source>
        <translation> (for a Windows machine) and </translation>
    </message>
    <message>
        <source> を作成します。
（上記のファイルを作成するだけで、実際のコピー作業はしません。）</source>
        <translation> (for this machine) will be written.
(Only these files are written; nothing is copied.)</translation>
    </message>
    <message>
        <source>

上記のファイルを作成しますか？
（実行前に、必ず Help 内の「バッチファイルの使い方（tlvdos.bat / tlvdos.sh）」をお読み下さい。）</source>
        <translation>

Write the files above?
(Before running one, be sure to read &quot;Using the batch files (tlvdos.bat / tlvdos.sh)&quot; in Help.)</translation>
    </message>
    <message>
        <source>マスター側と違うファイルをバックアップ側にコピーするには、次のファイルを実行して下さい。</source>
        <translation>To copy the files that differ from the master onto the backup, run:</translation>
    </message>
    <message>
        <source>Windows のマシンでは（コマンドプロンプトで）:</source>
        <translation>On a Windows machine (in a command prompt):</translation>
    </message>
    <message>
        <source>このマシンでは（端末で）:</source>
        <translation>On this machine (in a terminal):</translation>
    </message>
    <message>
        <source>この実行でバックアップの </source>
        <translation>Of the backup&apos;s </translation>
    </message>
    <message>
        <source> 件中 </source>
        <translation> entries, this run would remove or replace </translation>
    </message>
    <message>
        <source> 件を削除または置き換えます。続けますか？</source>
        <translation>. Continue?</translation>
    </message>
    <message>
        <source>変更の上限 </source>
        <translation>Change limit </translation>
    </message>
    <message>
        <source> %: 削除 </source>
        <translation> %: removals </translation>
    </message>
    <message>
        <source> 件、置き換え </source>
        <translation>, replacements </translation>
    </message>
    <message>
        <source> 件（バックアップ </source>
        <translation> (of the backup&apos;s </translation>
    </message>
    <message>
        <source> 件中）。</source>
        <translation> entries). </translation>
    </message>
    <message>
        <source>上限を超えるため、実際の実行は止まります。</source>
        <translation>Beyond the limit: a real run would stop.</translation>
    </message>
    <message>
        <source>上限を超えないため、実際の実行は止まりません。</source>
        <translation>Within the limit: a real run would go ahead.</translation>
    </message>
    <message>
        <source> : ChangeLimit の値が 0 から 100 までの整数ではないため、変更の上限をオフにしました。</source>
        <translation> : the ChangeLimit value is not a whole number from 0 to 100, so the change limit was turned off.</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>続行</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>ProcessWindow</name>
    <message>
        <source>推定残り時間 :</source>
        <translation>Estimated time left :</translation>
    </message>
    <message>
        <source>推定残り時間</source>
        <translation>Estimated time left</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>SimulateDialog</name>
    <message>
        <source>ファイルを選択</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>日付の新しいファイル</source>
        <translation>Files with a newer date</translation>
    </message>
    <message>
        <source>日付の古いファイル</source>
        <translation>Files with an older date</translation>
    </message>
    <message>
        <source>日付が同じでサイズが違うファイル</source>
        <translation>Files with the same date and another size</translation>
    </message>
    <message>
        <source>ソース側にのみ存在するファイル</source>
        <translation>Files only in the source</translation>
    </message>
    <message>
        <source>日付とサイズが同じファイル</source>
        <translation>Files with the same date and size</translation>
    </message>
    <message>
        <source>すべてのファイル</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>バックアップ側にのみ存在するファイル</source>
        <translation>Files only in the backup</translation>
    </message>
    <message>
        <source>テキストファイルに書き出すファイルの条件を下記から選択して下さい。</source>
        <translation>Choose below which files to write to the text file.</translation>
    </message>
    <message>
        <source>出力するテキストファイル名</source>
        <translation>Name of the text file to write</translation>
    </message>
    <message>
        <source>上記の設定でシュミレーションを行う場合は、Ｓｔａｒｔボタンを押して下さい。このボタンではバックアップ作業は行いません。</source>
        <translation>To simulate with the settings above, press the Start button. This button makes no backup.</translation>
    </message>
</context>
<context>
    <name>TrayStatus</name>
    <message>
        <source>正常終了</source>
        <translation>finished</translation>
    </message>
    <message>
        <source>エラーあり</source>
        <translation>ended with errors</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>実行せず</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>フォルダーを見失い中止</source>
        <translation>stopped: a folder went away</translation>
    </message>
    <message>
        <source>前回: </source>
        <translation>Last run: </translation>
    </message>
    <message>
        <source>次回: </source>
        <translation>Next run: </translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>表示(&amp;S)</source>
        <translation>&amp;Show</translation>
    </message>
    <message>
        <source>今すぐ実行(&amp;R)</source>
        <translation>&amp;Run now</translation>
    </message>
    <message>
        <source>最後のレポート(&amp;L)</source>
        <translation>&amp;Last report</translation>
    </message>
    <message>
        <source>終了(&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
</context>
</TS>
