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
<context>
    <name>UiActiveEvent</name>
    <message>
        <source>UpperComputer</source>
        <translation>上位机</translation>
    </message>
    <message>
        <source>BAT ID: %1</source>
        <translation>电池编号: %1</translation>
    </message>
    <message>
        <source>(L2 Error)</source>
        <translation>(二级故障)</translation>
    </message>
    <message>
        <source>(L1 Error)</source>
        <translation>(一级故障)</translation>
    </message>
    <message>
        <source>(Error)</source>
        <translation>(故障)</translation>
    </message>
</context>
<context>
    <name>UiBaseInfo</name>
    <message>
        <source>STATUS</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>静置</translation>
    </message>
    <message>
        <source>Max Cell Volt</source>
        <translation>最高单体电压</translation>
    </message>
    <message>
        <source>Min Cell Volt</source>
        <translation>最低单体电压</translation>
    </message>
    <message>
        <source>Max Temp</source>
        <translation>最高温度</translation>
    </message>
    <message>
        <source>Min Temp</source>
        <translation>最低温度</translation>
    </message>
    <message>
        <source>Charging</source>
        <translation>充电中</translation>
    </message>
    <message>
        <source>Discharging</source>
        <translation>放电中</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>%1℃</source>
        <translation>%1℃</translation>
    </message>
</context>
<context>
    <name>UiBmuInfo</name>
    <message>
        <source>Cell_0%1</source>
        <translation>电芯_0%1</translation>
    </message>
    <message>
        <source>Cell_%1</source>
        <translation>电芯_%1</translation>
    </message>
    <message>
        <source>Temp_%1</source>
        <translation>温度_%1</translation>
    </message>
    <message>
        <source>Module_%1</source>
        <translation>模块_%1</translation>
    </message>
    <message>
        <source>%1V</source>
        <translation>%1V</translation>
    </message>
    <message>
        <source>%1℃</source>
        <translation>%1℃</translation>
    </message>
</context>
<context>
    <name>UiLogin</name>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
</context>
<context>
    <name>UiMainLeft</name>
    <message>
        <source>GENERAL</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>HISTORY</source>
        <translation>历史</translation>
    </message>
    <message>
        <source>SETTINGS</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>BASE INFO</source>
        <translation>基本信息</translation>
    </message>
    <message>
        <source>PARALLEL INFO</source>
        <translation>并机信息</translation>
    </message>
    <message>
        <source>HISTORY DATA</source>
        <translation>历史数据</translation>
    </message>
    <message>
        <source>LOGS HISTORY</source>
        <translation>历史记录</translation>
    </message>
    <message>
        <source>PARAMETER</source>
        <translation>参数设置</translation>
    </message>
    <message>
        <source>FIRMWARE</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <source>MANUFACTURE</source>
        <translation>生产</translation>
    </message>
    <message>
        <source>TYPE</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>OPEN CAN-BUS</source>
        <translation>打开CAN总线</translation>
    </message>
    <message>
        <source>CLOSE CAN-BUS</source>
        <translation>关闭CAN总线</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>open can failed!</source>
        <translation>打开CAN失败！</translation>
    </message>
</context>
<context>
    <name>UiMainTop</name>
    <message>
        <source>PROTECTION</source>
        <translation>保护</translation>
    </message>
    <message>
        <source>ALARM</source>
        <translation>告警</translation>
    </message>
    <message>
        <source>COM
Ports</source>
        <translation>COM
串口</translation>
    </message>
    <message>
        <source>BAT
ID</source>
        <translation>电池
编号</translation>
    </message>
    <message>
        <source>Cell Over Voltage</source>
        <translation>单体过压</translation>
    </message>
    <message>
        <source>Cell Under Voltage</source>
        <translation>单体欠压</translation>
    </message>
    <message>
        <source>System Over Voltage</source>
        <translation>系统过压</translation>
    </message>
    <message>
        <source>System Under Voltage</source>
        <translation>系统欠压</translation>
    </message>
    <message>
        <source>Voltage Differential</source>
        <translation>压差过大</translation>
    </message>
    <message>
        <source>Charge Hight Temp</source>
        <translation>充电高温</translation>
    </message>
    <message>
        <source>Discharge Hight Temp</source>
        <translation>放电高温</translation>
    </message>
    <message>
        <source>Charge Low Temp</source>
        <translation>充电低温</translation>
    </message>
    <message>
        <source>Discharge Low Temp</source>
        <translation>放电低温</translation>
    </message>
    <message>
        <source>Temp Differential</source>
        <translation>温差过大</translation>
    </message>
    <message>
        <source>Charge Over Current</source>
        <translation>充电过流</translation>
    </message>
    <message>
        <source>Discharge Over Current</source>
        <translation>放电过流</translation>
    </message>
    <message>
        <source>AFE-OV</source>
        <translation>AFE过压</translation>
    </message>
    <message>
        <source>AFE-UV</source>
        <translation>AFE欠压</translation>
    </message>
    <message>
        <source>Address Duplicate</source>
        <translation>地址重复</translation>
    </message>
    <message>
        <source>Internal CAN Communication Error</source>
        <translation>内部CAN通信故障</translation>
    </message>
    <message>
        <source>External CAN Communication Error</source>
        <translation>外部CAN通信故障</translation>
    </message>
    <message>
        <source>RS485 Communication Error</source>
        <translation>RS485通信故障</translation>
    </message>
    <message>
        <source>Cell Voltage Wire Break</source>
        <translation>单体电压采集线断线</translation>
    </message>
    <message>
        <source>Temp Wire Break</source>
        <translation>温度采集线断线</translation>
    </message>
    <message>
        <source>AFE Communication Error</source>
        <translation>AFE通信故障</translation>
    </message>
</context>
<context>
    <name>UiPackVoltageStatus</name>
    <message>
        <source>ID_%1</source>
        <translation>ID_%1</translation>
    </message>
    <message>
        <source>static</source>
        <translation>静置</translation>
    </message>
    <message>
        <source>Static</source>
        <translation>静置</translation>
    </message>
    <message>
        <source>Charge</source>
        <translation>充电</translation>
    </message>
    <message>
        <source>Discharge</source>
        <translation>放电</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
</context>
<context>
    <name>UiParallelInfo</name>
    <message>
        <source>Voltage(V)</source>
        <translation>电压(V)</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
</context>
<context>
    <name>RelayPicture</name>
    <message>
        <source>MAIN-2nd</source>
        <translation>主继电器2</translation>
    </message>
    <message>
        <source>CHARGE</source>
        <translation>充电</translation>
    </message>
    <message>
        <source>DISCHARGE</source>
        <translation>放电</translation>
    </message>
    <message>
        <source>PRE-CHG</source>
        <translation>预充</translation>
    </message>
</context>
<context>
    <name>UiRelayControls</name>
    <message>
        <source>Relay Controls</source>
        <translation>继电器控制</translation>
    </message>
    <message>
        <source>Relay manually control for professional engineer only,fail to follow the instructions may result in serious damage.</source>
        <translation>继电器手动控制仅限专业工程师操作，不按说明操作可能造成严重损坏。</translation>
    </message>
</context>
<context>
    <name>HistoryDataModel</name>
    <message>
        <source>Hrs</source>
        <translation>小时</translation>
    </message>
    <message>
        <source>Times</source>
        <translation>次数</translation>
    </message>
    <message>
        <source>kWh</source>
        <translation>千瓦时</translation>
    </message>
    <message>
        <source>-20-0 ℃</source>
        <translation>-20-0 ℃</translation>
    </message>
    <message>
        <source>0-10 ℃</source>
        <translation>0-10 ℃</translation>
    </message>
    <message>
        <source>10-15 ℃</source>
        <translation>10-15 ℃</translation>
    </message>
    <message>
        <source>15-45 ℃</source>
        <translation>15-45 ℃</translation>
    </message>
    <message>
        <source>45-65 ℃</source>
        <translation>45-65 ℃</translation>
    </message>
    <message>
        <source>&gt;65 ℃</source>
        <translation>&gt;65 ℃</translation>
    </message>
    <message>
        <source>Charge &gt;0.6C</source>
        <translation>充电 &gt;0.6C</translation>
    </message>
    <message>
        <source>Discharge &gt;0.6C</source>
        <translation>放电 &gt;0.6C</translation>
    </message>
    <message>
        <source>Voltage &gt;56.5V</source>
        <translation>电压 &gt;56.5V</translation>
    </message>
    <message>
        <source>Voltage &lt;51.0V</source>
        <translation>电压 &lt;51.0V</translation>
    </message>
    <message>
        <source>Charge Relay Protect</source>
        <translation>充电继电器保护</translation>
    </message>
    <message>
        <source>Discharge Relay Protect</source>
        <translation>放电继电器保护</translation>
    </message>
    <message>
        <source>Total Discharge KWH</source>
        <translation>累计放电量 KWH</translation>
    </message>
    <message>
        <source>Rated Capacity Ah</source>
        <translation>额定容量 Ah</translation>
    </message>
</context>
<context>
    <name>HistoryEventModel</name>
    <message>
        <source>failed to open file: </source>
        <translation>打开文件失败: </translation>
    </message>
    <message>
        <source>failed to write file: </source>
        <translation>写入文件失败: </translation>
    </message>
</context>
<context>
    <name>RealTimeRecordingTableModel</name>
    <message>
        <source>failed to open file: </source>
        <translation>打开文件失败: </translation>
    </message>
    <message>
        <source>failed to write file: </source>
        <translation>写入文件失败: </translation>
    </message>
</context>
<context>
    <name>UiHistoryData</name>
    <message>
        <source>History Data</source>
        <translation>历史数据</translation>
    </message>
    <message>
        <source>The Warranty Tracker measures capacity degradation and calculates remaining battery lifetime by keeping track of voltage,temperature, charge and discharge times, and other critical data for every cycle of the Brimlet18.</source>
        <translation>质保跟踪器记录 Brimlet18 每一次循环的电压、温度、充放电时间及其他关键数据，以此测量容量衰减并计算电池的剩余寿命。</translation>
    </message>
</context>
<context>
    <name>UiHistoryEvents</name>
    <message>
        <source>History Events</source>
        <translation>历史事件</translation>
    </message>
    <message>
        <source>READ ALL</source>
        <translation>全部读取</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>DELETE ALL</source>
        <translation>全部删除</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>No history event in the BMS.</source>
        <translation>BMS 中没有历史事件。</translation>
    </message>
    <message>
        <source>Save History Event</source>
        <translation>保存历史事件</translation>
    </message>
    <message>
        <source>Saving %1 ...</source>
        <translation>正在保存 %1 ...</translation>
    </message>
    <message>
        <source>Not saved.</source>
        <translation>未保存。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>已保存 %1</translation>
    </message>
    <message>
        <source>Reading the history events of BMS %1 ...</source>
        <translation>正在读取 BMS %1 的历史事件 ...</translation>
    </message>
    <message>
        <source>%1 of %2 events read.</source>
        <translation>已读取 %1 / %2 条事件。</translation>
    </message>
    <message>
        <source>Stopped after %1 of %2 events.</source>
        <translation>已停止，读取了 %1 / %2 条事件。</translation>
    </message>
    <message>
        <source>The BMS stopped sending after %1 of %2 events.</source>
        <translation>BMS 发送 %1 / %2 条事件后停止了发送。</translation>
    </message>
    <message>
        <source>%1 damaged records dropped, see the log.</source>
        <translation>已丢弃 %1 条损坏的记录，详见日志。</translation>
    </message>
</context>
<context>
    <name>UiRealTimeRecording</name>
    <message>
        <source>Real-Time Recording</source>
        <translation>实时记录</translation>
    </message>
    <message>
        <source>RECORDING</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>CLEAR</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Recording BMS %1 every 2 s.</source>
        <translation>正在每 2 秒记录一次 BMS %1。</translation>
    </message>
    <message>
        <source>Save Real Time Data</source>
        <translation>保存实时数据</translation>
    </message>
    <message>
        <source>Saving %1 ...</source>
        <translation>正在保存 %1 ...</translation>
    </message>
    <message>
        <source>Not saved.</source>
        <translation>未保存。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>已保存 %1</translation>
    </message>
</context>
</TS>
