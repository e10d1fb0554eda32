<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>veskari::AboutDialog</name>
    <message>
        <source>Veskari</source>
        <translation>Veskari のﾊﾞｰｼﾞｮﾝ情報</translation>
    </message>
    <message>
        <source>Lists the processor microcode updates that BIOS images, microcode update files and the LZH members inside them carry.

Free software under the MIT licence.</source>
        <translation>BIOS イメージ、マイクロコードのアップデートファイルと、その中の LZH メンバーが持つプロセッサーのマイクロコードアップデートを一覧にします。

MIT ライセンスのフリーソフトウェアです。</translation>
    </message>
</context>
<context>
    <name>veskari::AnalysisWorker</name>
    <message>
        <source>%1 is no longer found where it was analysed; analyse its file again</source>
        <translation>%1 は解析した場所にもうありません。そのファイルを解析し直してください</translation>
    </message>
    <message>
        <source>%1 could not be saved: %2</source>
        <translation>%1 を保存できませんでした: %2</translation>
    </message>
</context>
<context>
    <name>veskari::FindBar</name>
    <message>
        <source>Find:</source>
        <translation>検索:</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>前へ</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>見つかりません</translation>
    </message>
    <message>
        <source>Close the search bar</source>
        <translation>検索バーを閉じる</translation>
    </message>
    <message>
        <source>1 match</source>
        <translation>1 件一致</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 件一致</translation>
    </message>
</context>
<context>
    <name>veskari::GuideWindow</name>
    <message>
        <source>Veskari User Guide</source>
        <translation>Veskari ユーザーガイド</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>目次</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>戻る</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
</context>
<context>
    <name>veskari::MainDialog</name>
    <message>
        <source>Veskari</source>
        <translation>Veskari</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>ファイル選択</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>消去</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>About Veskari (&amp;A)...</source>
        <translation>Veskari のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;User Guide</source>
        <translation>ユーザーガイド(&amp;U)</translation>
    </message>
    <message>
        <source>Select MicroCode File</source>
        <translation>マイクロコードファイルの選択</translation>
    </message>
    <message>
        <source>BIOS or MicroCodeFile (*)</source>
        <translation>BIOS またはマイクロコードファイル (*)</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>フォルダー選択</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>レポート</translation>
    </message>
    <message>
        <source>Updates</source>
        <translation>アップデート</translation>
    </message>
    <message>
        <source>Updates (%1)</source>
        <translation>アップデート (%1)</translation>
    </message>
    <message>
        <source>Tree</source>
        <translation>ツリー</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>Select &amp;File...</source>
        <translation>ファイル選択(&amp;F)...</translation>
    </message>
    <message>
        <source>Open F&amp;older...</source>
        <translation>フォルダー選択(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Recent Paths</source>
        <translation>最近のパス(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Save...</source>
        <translation>保存(&amp;S)...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>終了(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Find...</source>
        <translation>検索(&amp;F)...</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>次を検索(&amp;N)</translation>
    </message>
    <message>
        <source>Find &amp;Previous</source>
        <translation>前を検索(&amp;P)</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>中止(&amp;T)</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>消去(&amp;L)</translation>
    </message>
    <message>
        <source>List Updates of &amp;Every Format</source>
        <translation>すべての形式の更新を一覧表示(&amp;E)</translation>
    </message>
    <message>
        <source>Report (*.txt)</source>
        <translation>レポート (*.txt)</translation>
    </message>
    <message>
        <source>Report with CR LF line ends (*.txt)</source>
        <translation>レポート、改行は CR LF (*.txt)</translation>
    </message>
    <message>
        <source>Table of updates as CSV (*.csv)</source>
        <translation>アップデート一覧の CSV (*.csv)</translation>
    </message>
    <message>
        <source>JSON document (*.json)</source>
        <translation>JSON ドキュメント (*.json)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(なし)</translation>
    </message>
    <message>
        <source>Select Folder</source>
        <translation>フォルダーの選択</translation>
    </message>
    <message>
        <source>%1 could not be saved: %2</source>
        <translation>%1 を保存できませんでした: %2</translation>
    </message>
    <message>
        <source>Close the window and discard the analysis that was not saved?</source>
        <translation>保存していない解析結果を破棄してウィンドウを閉じますか?</translation>
    </message>
    <message>
        <source>Do not ask again</source>
        <translation>今後は確認しない</translation>
    </message>
    <message>
        <source>Stopped: the files after the last one analysed were not analysed</source>
        <translation>中止しました: 最後に解析したファイルより後のファイルは解析していません</translation>
    </message>
    <message>
        <source>Stopped: 1 file not analysed</source>
        <translation>中止しました: 1 個のファイルを解析していません</translation>
    </message>
    <message>
        <source>Stopped: %1 files not analysed</source>
        <translation>中止しました: %1 個のファイルを解析していません</translation>
    </message>
    <message>
        <source>%1: not analysed, the analysis was stopped</source>
        <translation>%1: 解析を中止したため解析していません</translation>
    </message>
    <message>
        <source>Drop to analyse after the running command</source>
        <translation>ドロップすると実行中の解析の後に解析します</translation>
    </message>
    <message>
        <source>Drop to analyse these files and folders</source>
        <translation>ドロップするとこれらのファイルとフォルダーを解析します</translation>
    </message>
    <message>
        <source>Save Selected Item &amp;As...</source>
        <translation>選択した項目に名前を付けて保存(&amp;A)...</translation>
    </message>
    <message>
        <source>E&amp;xtract All Updates...</source>
        <translation>すべてのアップデートを取り出す(&amp;X)...</translation>
    </message>
    <message>
        <source>Extract All Updates and &amp;Members...</source>
        <translation>すべてのアップデートとメンバーを取り出す(&amp;M)...</translation>
    </message>
    <message>
        <source>Save Selected Item As</source>
        <translation>選択した項目に名前を付けて保存</translation>
    </message>
    <message>
        <source>Select an update in the table, or an update or a decoded member in the tree.</source>
        <translation>アップデート一覧のアップデート、またはツリーのアップデートか展開したメンバーを選択してください。</translation>
    </message>
    <message>
        <source>Nothing to extract: analyse files or folders first.</source>
        <translation>取り出すものがありません。先にファイルかフォルダーを解析してください。</translation>
    </message>
    <message>
        <source>Extract All Updates and Members into Folder</source>
        <translation>すべてのアップデートとメンバーを取り出すフォルダー</translation>
    </message>
    <message>
        <source>Extract All Updates into Folder</source>
        <translation>すべてのアップデートを取り出すフォルダー</translation>
    </message>
    <message>
        <source>Extraction ended by an error.</source>
        <translation>エラーのため取り出しを終了しました。</translation>
    </message>
    <message>
        <source>Extraction stopped: %1 files written.</source>
        <translation>取り出しを中止しました: %1 個のファイルを書き込みました。</translation>
    </message>
    <message>
        <source>1 file written.</source>
        <translation>1 個のファイルを書き込みました。</translation>
    </message>
    <message>
        <source>%1 files written.</source>
        <translation>%1 個のファイルを書き込みました。</translation>
    </message>
</context>
<context>
    <name>veskari::ProblemsView</name>
    <message>
        <source>%1: member not analysed, its CRC-16 does not match</source>
        <translation>%1: CRC-16 が一致しないためﾒﾝﾊﾞｰを解析しません</translation>
    </message>
    <message>
        <source>%1: member not analysed, its header was not found again</source>
        <translation>%1: ﾍｯﾀﾞｰが再び見つからないためﾒﾝﾊﾞｰを解析しません</translation>
    </message>
    <message>
        <source>%1: member not analysed, its data is damaged</source>
        <translation>%1: ﾃﾞｰﾀが壊れているためﾒﾝﾊﾞｰを解析しません</translation>
    </message>
    <message>
        <source>1 item could not be analysed:</source>
        <translation>1 件を解析できませんでした:</translation>
    </message>
    <message numerus="yes">
        <source>%n items could not be analysed:</source>
        <translation>
            <numerusform>%n 件を解析できませんでした:</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Save List as Text...</source>
        <translation>一覧をテキストとして保存(&amp;S)...</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Text (*.txt)</source>
        <translation>テキスト (*.txt)</translation>
    </message>
    <message>
        <source>%1 could not be saved: %2</source>
        <translation>%1 を保存できませんでした: %2</translation>
    </message>
    <message>
        <source>%1: 1 later-format update not listed; turn on Edit, List Updates of Every Format</source>
        <translation>%1: 後の形式のアップデート 1 個は一覧にありません。編集、すべての形式の更新を一覧表示をオンにしてください</translation>
    </message>
    <message>
        <source>%1: %2 later-format updates not listed; turn on Edit, List Updates of Every Format</source>
        <translation>%1: 後の形式のアップデート %2 個は一覧にありません。編集、すべての形式の更新を一覧表示をオンにしてください</translation>
    </message>
</context>
<context>
    <name>veskari::RunStatus</name>
    <message>
        <source>Ended by an error.</source>
        <translation>エラーで終了しました。</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>完了しました。</translation>
    </message>
    <message>
        <source>Files: %1  Members: %2  Updates: %3  Problems: %4  Time: %5 s</source>
        <translation>ファイル: %1  メンバー: %2  アップデート: %3  問題: %4  時間: %5 秒</translation>
    </message>
    <message>
        <source>Analysing: %1 of %2 files: %3</source>
        <translation>解析中: %2 件中 %1 件: %3</translation>
    </message>
    <message>
        <source>All formats</source>
        <translation>すべての形式</translation>
    </message>
    <message>
        <source>Classic format only</source>
        <translation>従来の形式のみ</translation>
    </message>
    <message>
        <source>Updates of every published layout are listed</source>
        <translation>公開されているすべての形式のアップデートを一覧にします</translation>
    </message>
    <message>
        <source>Only updates of the classic layout are listed (Edit, List Updates of Every Format)</source>
        <translation>従来の形式のアップデートだけを一覧にします (編集、すべての形式のアップデートを一覧)</translation>
    </message>
    <message>
        <source>Stopped: files after the last one analysed were not analysed.</source>
        <translation>中止しました: 最後に解析したファイルより後のファイルは解析していません。</translation>
    </message>
    <message>
        <source>Stopped: 1 file not analysed.</source>
        <translation>中止しました: 1 個のファイルを解析していません。</translation>
    </message>
    <message>
        <source>Stopped: %1 files not analysed.</source>
        <translation>中止しました: %1 個のファイルを解析していません。</translation>
    </message>
    <message>
        <source>Analysing: %1 files done, still counting: %2</source>
        <translation>解析中: %1 個のファイルが完了、ファイルを数えています: %2</translation>
    </message>
    <message>
        <source>Extracting: %1 of %2 files: %3</source>
        <translation>取り出し中: %2 件中 %1 件: %3</translation>
    </message>
    <message>
        <source>Extracting: %1 files done, still counting: %2</source>
        <translation>取り出し中: %1 個のファイルが完了、ファイルを数えています: %2</translation>
    </message>
</context>
<context>
    <name>veskari::UpdateTableModel</name>
    <message>
        <source>valid</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>invalid</source>
        <translation>不一致</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>Member</source>
        <translation>メンバー</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>オフセット</translation>
    </message>
    <message>
        <source>CPUID</source>
        <translation>CPUID</translation>
    </message>
    <message>
        <source>Platform flags</source>
        <translation>プラットフォームフラグ</translation>
    </message>
    <message>
        <source>Revision</source>
        <translation>リビジョン</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日付</translation>
    </message>
    <message>
        <source>Package</source>
        <translation>パッケージ</translation>
    </message>
    <message>
        <source>Processor</source>
        <translation>プロセッサー</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>チェックサム</translation>
    </message>
    <message>
        <source>Standing</source>
        <translation>公開版との比較</translation>
    </message>
    <message>
        <source>newest</source>
        <translation>最新</translation>
    </message>
    <message>
        <source>older: 0x%1 published</source>
        <translation>旧版: 0x%1 が公開済み</translation>
    </message>
    <message>
        <source>newer than published</source>
        <translation>公開版より新しい</translation>
    </message>
    <message>
        <source>not covered</source>
        <translation>公開版なし</translation>
    </message>
    <message>
        <source>Rev. %1 of %2 (%3)</source>
        <translation>%2 の Rev. %1 (%3)</translation>
    </message>
    <message>
        <source>newest published (in %1)</source>
        <translation>公開版の最新 (%1 に収録)</translation>
    </message>
    <message>
        <source>older: %1 is the newest published; this revision was published in %2</source>
        <translation>旧版: 公開版の最新は %1。このリビジョンは %2 に収録</translation>
    </message>
    <message>
        <source>older: %1 is the newest published; this revision was never published</source>
        <translation>旧版: 公開版の最新は %1。このリビジョンは未公開</translation>
    </message>
    <message>
        <source>newer than any published: the newest published is %1</source>
        <translation>公開版より新しい: 公開版の最新は %1</translation>
    </message>
    <message>
        <source>not covered: platform flags 0 match only updates published without a platform, and this processor&apos;s were published for other platforms</source>
        <translation>公開版なし: プラットフォームフラグ 0 に一致するのはプラットフォーム指定なしで公開された更新だけで、このプロセッサーの更新は他のプラットフォーム向けに公開されています</translation>
    </message>
    <message>
        <source>not covered: no published update for this processor and platform</source>
        <translation>公開版なし: このプロセッサーとプラットフォーム向けに公開された更新はありません</translation>
    </message>
</context>
<context>
    <name>veskari::UpdateTreeView</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 バイト</translation>
    </message>
    <message>
        <source>%1, %2 to %3 bytes</source>
        <translation>%1、%2 バイトから %3 バイト</translation>
    </message>
    <message>
        <source>CPUID %1, platform flags %2, checksum %3, %4</source>
        <translation>CPUID %1、プラットフォームフラグ %2、チェックサム %3、%4</translation>
    </message>
    <message>
        <source>CPUID %1, revision %2</source>
        <translation>CPUID %1、リビジョン %2</translation>
    </message>
    <message>
        <source>CPUID</source>
        <translation>CPUID</translation>
    </message>
    <message>
        <source>CRC differs</source>
        <translation>CRC 不一致</translation>
    </message>
    <message>
        <source>CRC matches</source>
        <translation>CRC 一致</translation>
    </message>
    <message>
        <source>CRC-16</source>
        <translation>CRC-16</translation>
    </message>
    <message>
        <source>Chain</source>
        <translation>経路</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>チェックサム</translation>
    </message>
    <message>
        <source>Compressed size</source>
        <translation>圧縮サイズ</translation>
    </message>
    <message>
        <source>Container</source>
        <translation>コンテナー</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Data size</source>
        <translation>データサイズ</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日付</translation>
    </message>
    <message>
        <source>Decoded size</source>
        <translation>展開後のサイズ</translation>
    </message>
    <message>
        <source>Extended signature %1</source>
        <translation>拡張シグネチャ %1</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>First %1 bytes:</source>
        <translation>先頭 %1 バイト:</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>形式</translation>
    </message>
    <message>
        <source>Header level</source>
        <translation>ヘッダーレベル</translation>
    </message>
    <message>
        <source>Header offset in its file</source>
        <translation>ファイル内のヘッダーオフセット</translation>
    </message>
    <message>
        <source>Header size</source>
        <translation>ヘッダーサイズ</translation>
    </message>
    <message>
        <source>Header version</source>
        <translation>ヘッダーバージョン</translation>
    </message>
    <message>
        <source>LZH archive</source>
        <translation>LZH 書庫</translation>
    </message>
    <message>
        <source>Load segment</source>
        <translation>ロードセグメント</translation>
    </message>
    <message>
        <source>Loader revision</source>
        <translation>ローダーリビジョン</translation>
    </message>
    <message>
        <source>Member</source>
        <translation>メンバー</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>圧縮方式</translation>
    </message>
    <message>
        <source>Name as stored</source>
        <translation>格納されている名前</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Offset in its file</source>
        <translation>ファイル内のオフセット</translation>
    </message>
    <message>
        <source>Package</source>
        <translation>パッケージ</translation>
    </message>
    <message>
        <source>Platform flags</source>
        <translation>プラットフォームフラグ</translation>
    </message>
    <message>
        <source>Processor</source>
        <translation>プロセッサー</translation>
    </message>
    <message>
        <source>Revision</source>
        <translation>リビジョン</translation>
    </message>
    <message>
        <source>Segment type</source>
        <translation>セグメントの種類</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>サイズ</translation>
    </message>
    <message>
        <source>Standing</source>
        <translation>公開版との比較</translation>
    </message>
    <message>
        <source>This line</source>
        <translation>この行</translation>
    </message>
    <message>
        <source>Total size</source>
        <translation>全体のサイズ</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>アップデート</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>at %1, %2, %3</source>
        <translation>%1、%2、%3</translation>
    </message>
    <message>
        <source>checksum invalid</source>
        <translation>チェックサム不一致</translation>
    </message>
    <message>
        <source>checksum valid</source>
        <translation>チェックサム正常</translation>
    </message>
    <message>
        <source>classic</source>
        <translation>従来形式</translation>
    </message>
    <message>
        <source>compressed segment</source>
        <translation>圧縮セグメント</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>破損</translation>
    </message>
    <message>
        <source>decoded</source>
        <translation>展開済み</translation>
    </message>
    <message>
        <source>directory</source>
        <translation>ディレクトリ</translation>
    </message>
    <message>
        <source>extended signature %1</source>
        <translation>拡張シグネチャ %1</translation>
    </message>
    <message>
        <source>header not found again</source>
        <translation>ヘッダーを再検出できません</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>未完了</translation>
    </message>
    <message>
        <source>later</source>
        <translation>新形式</translation>
    </message>
    <message>
        <source>limit reached</source>
        <translation>上限に到達</translation>
    </message>
    <message>
        <source>not finished</source>
        <translation>解析中</translation>
    </message>
    <message>
        <source>not read</source>
        <translation>読み込めません</translation>
    </message>
    <message>
        <source>passed over</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>segment, type %1</source>
        <translation>セグメント、種類 %1</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>大きすぎます</translation>
    </message>
</context>
<context>
    <name>veskari::UpdatesView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>Filter: CPUID or revision (0x686, cpuid 0x686, rev 0x2A), or text in names</source>
        <translation>フィルター: CPUID またはリビジョン (0x686、cpuid 0x686、rev 0x2A)、または名前の文字列</translation>
    </message>
    <message>
        <source>A number in hex keeps the updates whose CPUID or revision is that number; &quot;cpuid&quot; or &quot;rev&quot; before it, that field only. Other text keeps the updates whose file, member, package or processor holds it.</source>
        <translation>16 進数は CPUID またはリビジョンがその値のアップデートを残します。前に &quot;cpuid&quot; または &quot;rev&quot; を付けるとその項目だけを調べます。その他の文字列は、ファイル、メンバー、パッケージ、プロセッサーの名前にそれを含むアップデートを残します。</translation>
    </message>
</context>
</TS>
