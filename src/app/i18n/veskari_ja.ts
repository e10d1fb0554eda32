<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
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
        <source>Select MicroCode File</source>
        <translation>マイクロコードファイルの選択</translation>
    </message>
    <message numerus="yes">
        <source>%n item(s) could not be analysed:</source>
        <translation>
            <numerusform>%n 件を解析できませんでした:</numerusform>
        </translation>
    </message>
    <message>
        <source>BIOS or MicroCodeFile (*)</source>
        <translation>BIOS or MicroCodeFile (*)</translation>
    </message>
</context>
<context>
    <name>veskari::AboutDialog</name>
    <message>
        <source>Veskari</source>
        <translation>Veskari のﾊﾞｰｼﾞｮﾝ情報</translation>
    </message>
</context>
</TS>
