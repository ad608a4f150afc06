<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AbstractSignalValue</name>
    <message>
        <source>hours</source>
        <translation>小时</translation>
    </message>
</context>
</TS>
