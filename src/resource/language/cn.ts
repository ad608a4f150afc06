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
    <name>RecordsStatusLine</name>
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
    <message>
        <source>Severity</source>
        <translation>级别</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>First seen</source>
        <translation>首次出现</translation>
    </message>
    <message>
        <source>none active</source>
        <translation>无活动事件</translation>
    </message>
    <message>
        <source>Protection</source>
        <translation>保护</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>告警</translation>
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
    <message>
        <source>Last heard %1</source>
        <translation>最后收到 %1</translation>
    </message>
    <message>
        <source>Not heard live</source>
        <translation>从未在线</translation>
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
    <message>
        <source>Wrong password</source>
        <translation>密码错误</translation>
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
    <message>
        <source>Open the CAN bus with the adapter type above</source>
        <translation>以上方的适配器类型打开 CAN 总线</translation>
    </message>
    <message>
        <source>Close the CAN bus; the values shown stay as last heard</source>
        <translation>关闭 CAN 总线；显示的数值保持为最后收到的数值</translation>
    </message>
    <message>
        <source>● Bus open</source>
        <translation>● 总线已打开</translation>
    </message>
    <message>
        <source>○ Bus closed</source>
        <translation>○ 总线已关闭</translation>
    </message>
    <message>
        <source>Close the CAN bus and stop the upgrade?</source>
        <translation>关闭 CAN 总线并停止升级？</translation>
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
        <source>Trends</source>
        <translation>趋势</translation>
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
    <message>
        <source>In protection</source>
        <translation>保护中</translation>
    </message>
    <message>
        <source>In alarm</source>
        <translation>告警中</translation>
    </message>
    <message>
        <source>Offline: values last heard</source>
        <translation>离线：显示最后收到的数值</translation>
    </message>
    <message>
        <source>Online, no fault</source>
        <translation>在线，无故障</translation>
    </message>
    <message>
        <source>Trends (Ctrl+T)</source>
        <translation>趋势 (Ctrl+T)</translation>
    </message>
    <message>
        <source>Home: the selected battery&apos;s values</source>
        <translation>首页：所选电池的数值</translation>
    </message>
    <message>
        <source>Log in to the engineering page</source>
        <translation>登录工程页面</translation>
    </message>
    <message>
        <source>Protection conditions of the selected battery; click for the list</source>
        <translation>所选电池的保护项；点击查看列表</translation>
    </message>
    <message>
        <source>Alarm conditions of the selected battery; click for the list</source>
        <translation>所选电池的告警项；点击查看列表</translation>
    </message>
</context>
<context>
    <name>UiManufacturing</name>
    <message>
        <source>Product Serial Code</source>
        <translation>产品序列号</translation>
    </message>
    <message>
        <source>Battery ID</source>
        <translation>电池编号</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>Increase</source>
        <translation>递增</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Model Number</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Time Calibration</source>
        <translation>时间校准</translation>
    </message>
    <message>
        <source>History Energy</source>
        <translation>历史电量</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>统计</translation>
    </message>
    <message>
        <source>PASS:</source>
        <translation>合格:</translation>
    </message>
    <message>
        <source>NG:</source>
        <translation>不合格:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>异常</translation>
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
    <name>UiFirmwareUpdateDialog</name>
    <message>
        <source>Firmware Update</source>
        <translation>固件升级</translation>
    </message>
    <message>
        <source>Select firmware update per Morvane instructions. Failure to follow update procedures may void the warranty. Please restart the Brimlet upon completion of the firmware update.</source>
        <translation>请按照 Morvane 的说明选择固件升级。不按升级步骤操作可能导致保修失效。固件升级完成后请重新启动 Brimlet。</translation>
    </message>
    <message>
        <source>Current Rev.</source>
        <translation>当前版本</translation>
    </message>
    <message>
        <source>New Rev.</source>
        <translation>新版本</translation>
    </message>
    <message>
        <source>Update File:</source>
        <translation>升级文件：</translation>
    </message>
    <message>
        <source>CONFIRM</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Firmware update might not proceed if CAN-Bus is not connected.</source>
        <translation>未连接 CAN 总线时固件升级可能无法进行。</translation>
    </message>
    <message>
        <source>Select Firmware File</source>
        <translation>选择固件文件</translation>
    </message>
    <message>
        <source>upgrade file (*.bin *.s19)</source>
        <translation>升级文件 (*.bin *.s19)</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseBinData: failed to open bin file: </source>
        <translation>UiFirmwareUpdateDialog::parseBinData: 无法打开 bin 文件：</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseBinData: bin file length is less then </source>
        <translation>UiFirmwareUpdateDialog::parseBinData: bin 文件长度小于 </translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseBinData: not a firmware image: </source>
        <translation>UiFirmwareUpdateDialog::parseBinData: 不是固件映像：</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseS19Data: failed to open hex file: </source>
        <translation>UiFirmwareUpdateDialog::parseS19Data: 无法打开 hex 文件：</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseS19Data: empty hex data: </source>
        <translation>UiFirmwareUpdateDialog::parseS19Data: hex 数据为空：</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseS19Data: bad record at line %1: %2: %3</source>
        <translation>UiFirmwareUpdateDialog::parseS19Data: 第 %1 行记录有误：%2：%3</translation>
    </message>
    <message>
        <source>UiFirmwareUpdateDialog::parseS19Data: not a firmware image: </source>
        <translation>UiFirmwareUpdateDialog::parseS19Data: 不是固件映像：</translation>
    </message>
</context>
<context>
    <name>UiFirmware</name>
    <message>
        <source>Manufacturing Info</source>
        <translation>生产信息</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Model Number</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>BMS Info</source>
        <translation>BMS 信息</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>SUCCESS</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>SENDING</source>
        <translation>发送中</translation>
    </message>
    <message>
        <source>FAILED</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>CLEAR</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>START</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>UiFirmware::OnClickStart: Please select a upgrade file first.</source>
        <translation>UiFirmware::OnClickStart: 请先选择升级文件。</translation>
    </message>
    <message>
        <source>UiFirmware::upgradeByUart: Please select a com port first.</source>
        <translation>UiFirmware::upgradeByUart: 请先选择串口。</translation>
    </message>
    <message>
        <source>UiFirmware::upgradeByUart: Please select a upgrade file first.</source>
        <translation>UiFirmware::upgradeByUart: 请先选择升级文件。</translation>
    </message>
    <message>
        <source>UiFirmware::upgradeByCan: Please select a upgrade file first.</source>
        <translation>UiFirmware::upgradeByCan: 请先选择升级文件。</translation>
    </message>
    <message>
        <source>UiFirmware::OnClickStart: the upgrade file is gone; please select it again: </source>
        <translation>UiFirmware::OnClickStart: 升级文件已不存在，请重新选择：</translation>
    </message>
    <message>
        <source>UiFirmware::OnClickStart: the upgrade file has changed since it was chosen; please select it again: </source>
        <translation>UiFirmware::OnClickStart: 升级文件在选择后已被修改，请重新选择：</translation>
    </message>
</context>
<context>
    <name>UartService</name>
    <message>
        <source>an image of %1 bytes cannot be sent: it must hold %2 to %3 bytes.</source>
        <translation>无法发送 %1 字节的映像：映像须为 %2 至 %3 字节。</translation>
    </message>
    <message>
        <source>failed to open com port: %1; error: %2.</source>
        <translation>打开串口失败：%1；错误：%2。</translation>
    </message>
    <message>
        <source>serial port %1 failed: %2.</source>
        <translation>串口 %1 出错：%2。</translation>
    </message>
    <message>
        <source>move to next state: </source>
        <translation>进入下一状态：</translation>
    </message>
    <message>
        <source>stop upgrading at state: </source>
        <translation>升级停止于状态：</translation>
    </message>
    <message>
        <source>changed baud to %1.</source>
        <translation>波特率已切换为 %1。</translation>
    </message>
    <message>
        <source>upgrade process stop.</source>
        <translation>升级过程停止。</translation>
    </message>
    <message>
        <source>refused by the boot loader at state: %1.</source>
        <translation>引导程序在状态 %1 拒绝。</translation>
    </message>
    <message>
        <source>the boot loader&apos;s revision %1 does not match the image&apos;s %2.</source>
        <translation>引导程序版本 %1 与映像版本 %2 不符。</translation>
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
        <source>Total Discharge Wh</source>
        <translation>累计放电量 Wh</translation>
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
    <message>
        <source>Date</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>SlaveNo</source>
        <translation>从机号</translation>
    </message>
    <message>
        <source>SumVolt</source>
        <translation>总电压</translation>
    </message>
    <message>
        <source>Curr</source>
        <translation>电流</translation>
    </message>
    <message>
        <source>RemainCapacity</source>
        <translation>剩余容量</translation>
    </message>
    <message>
        <source>SOC</source>
        <translation>SOC</translation>
    </message>
    <message>
        <source>SOH</source>
        <translation>SOH</translation>
    </message>
    <message>
        <source>DiffVolt</source>
        <translation>压差</translation>
    </message>
    <message>
        <source>MaxCellV</source>
        <translation>最高单体电压</translation>
    </message>
    <message>
        <source>MaxCellVNo.</source>
        <translation>最高单体电压编号</translation>
    </message>
    <message>
        <source>MinCellV</source>
        <translation>最低单体电压</translation>
    </message>
    <message>
        <source>MinCellVNo.</source>
        <translation>最低单体电压编号</translation>
    </message>
    <message>
        <source>MaxCellT</source>
        <translation>最高温度</translation>
    </message>
    <message>
        <source>MaxCellTNo.</source>
        <translation>最高温度编号</translation>
    </message>
    <message>
        <source>MinCellT</source>
        <translation>最低温度</translation>
    </message>
    <message>
        <source>MinCellTNo.</source>
        <translation>最低温度编号</translation>
    </message>
    <message>
        <source>PrechargeRelay</source>
        <translation>预充继电器</translation>
    </message>
    <message>
        <source>ChargeRelay</source>
        <translation>充电继电器</translation>
    </message>
    <message>
        <source>DischargeRelay</source>
        <translation>放电继电器</translation>
    </message>
    <message>
        <source>PosRelay</source>
        <translation>总正继电器</translation>
    </message>
    <message>
        <source>FaultsID</source>
        <translation>故障</translation>
    </message>
    <message>
        <source>AlarmLevel</source>
        <translation>告警级别</translation>
    </message>
    <message>
        <source>Cell Over Voltage Alarm</source>
        <translation>单体过压告警</translation>
    </message>
    <message>
        <source>Cell Under Voltage Alarm</source>
        <translation>单体欠压告警</translation>
    </message>
    <message>
        <source>Pack Over Voltage Alarm</source>
        <translation>总压过压告警</translation>
    </message>
    <message>
        <source>Pack Under Voltage Alarm</source>
        <translation>总压欠压告警</translation>
    </message>
    <message>
        <source>Cell Differential Voltage Alarm</source>
        <translation>单体压差告警</translation>
    </message>
    <message>
        <source>Charge Hight Temperature Alarm</source>
        <translation>充电高温告警</translation>
    </message>
    <message>
        <source>Discharge Hight Temperature Alarm</source>
        <translation>放电高温告警</translation>
    </message>
    <message>
        <source>Charge Low Temperature Alarm</source>
        <translation>充电低温告警</translation>
    </message>
    <message>
        <source>Discharge Low Temperature Alarm</source>
        <translation>放电低温告警</translation>
    </message>
    <message>
        <source>Differential Temperature Alarm</source>
        <translation>温差告警</translation>
    </message>
    <message>
        <source>Charge Over Current Alarm</source>
        <translation>充电过流告警</translation>
    </message>
    <message>
        <source>Discharge Over Current Alarm</source>
        <translation>放电过流告警</translation>
    </message>
    <message>
        <source>Cell Over Voltage Protect</source>
        <translation>单体过压保护</translation>
    </message>
    <message>
        <source>Cell Under Voltage Protect</source>
        <translation>单体欠压保护</translation>
    </message>
    <message>
        <source>Pack Over Voltage Protect</source>
        <translation>总压过压保护</translation>
    </message>
    <message>
        <source>Pack Under Voltage Protect</source>
        <translation>总压欠压保护</translation>
    </message>
    <message>
        <source>Cell Differential Voltage Protect</source>
        <translation>单体压差保护</translation>
    </message>
    <message>
        <source>Charge Hight Temperature Protect</source>
        <translation>充电高温保护</translation>
    </message>
    <message>
        <source>Discharge Hight Temperature Protect</source>
        <translation>放电高温保护</translation>
    </message>
    <message>
        <source>Charge Low Temperature Protect</source>
        <translation>充电低温保护</translation>
    </message>
    <message>
        <source>Discharge Low Temperature Protect</source>
        <translation>放电低温保护</translation>
    </message>
    <message>
        <source>Differential Temperature Protect</source>
        <translation>温差保护</translation>
    </message>
    <message>
        <source>Charge Over Current Protect</source>
        <translation>充电过流保护</translation>
    </message>
    <message>
        <source>Discharge Over Current Protect</source>
        <translation>放电过流保护</translation>
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
        <source>Duplicate Slave Address Error</source>
        <translation>从机地址重复</translation>
    </message>
    <message>
        <source>Internal Can Communication Error</source>
        <translation>内部CAN通信故障</translation>
    </message>
    <message>
        <source>External Can Communication Error</source>
        <translation>外部CAN通信故障</translation>
    </message>
    <message>
        <source>Rs485 Communication Error</source>
        <translation>RS485通信故障</translation>
    </message>
    <message>
        <source>Voltage Detect Error</source>
        <translation>电压检测故障</translation>
    </message>
    <message>
        <source>Temperature Detect Error</source>
        <translation>温度检测故障</translation>
    </message>
    <message>
        <source>AFE Communication Error</source>
        <translation>AFE通信故障</translation>
    </message>
    <message>
        <source>On</source>
        <translation>闭合</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>断开</translation>
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
    <message>
        <source>%1 records of other batteries dropped, see the log.</source>
        <translation>已丢弃 %1 条其他电池的记录，详见日志。</translation>
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
</context>
<context>
    <name>BankTableModel</name>
    <message>
        <source>ID</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>在线</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>SOC (%)</source>
        <translation>SOC (%)</translation>
    </message>
    <message>
        <source>Voltage (V)</source>
        <translation>电压 (V)</translation>
    </message>
    <message>
        <source>Current (A)</source>
        <translation>电流 (A)</translation>
    </message>
    <message>
        <source>Max. cell (V)</source>
        <translation>最高单体 (V)</translation>
    </message>
    <message>
        <source>Min. cell (V)</source>
        <translation>最低单体 (V)</translation>
    </message>
    <message>
        <source>Spread (mV)</source>
        <translation>压差 (mV)</translation>
    </message>
    <message>
        <source>Max. temp. (℃)</source>
        <translation>最高温度 (℃)</translation>
    </message>
    <message>
        <source>Protections</source>
        <translation>保护</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>告警</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>%1 from the bank&apos;s median of %2: more than %3 apart</source>
        <translation>与电池组中位数 %2 相差 %1：超过 %3</translation>
    </message>
    <message>
        <source>In protection: %1</source>
        <translation>保护中：%1</translation>
    </message>
    <message>
        <source>In alarm: %1</source>
        <translation>告警中：%1</translation>
    </message>
    <message>
        <source>Offline: the values are those last heard, at %1</source>
        <translation>离线：显示的是 %1 最后收到的数值</translation>
    </message>
    <message>
        <source>Offline: never heard live</source>
        <translation>离线：从未在线</translation>
    </message>
    <message>
        <source>Online %1 of %2</source>
        <translation>在线 %1 / %2</translation>
    </message>
    <message>
        <source>current %1 A</source>
        <translation>电流 %1 A</translation>
    </message>
    <message>
        <source>power %1 kW</source>
        <translation>功率 %1 kW</translation>
    </message>
    <message>
        <source>lowest cell %1 V (%2, cell %3)</source>
        <translation>最低单体 %1 V（%2，第 %3 节）</translation>
    </message>
    <message>
        <source>highest cell %1 V (%2, cell %3)</source>
        <translation>最高单体 %1 V（%2，第 %3 节）</translation>
    </message>
    <message>
        <source>highest temperature %1 ℃ (%2, sensor %3)</source>
        <translation>最高温度 %1 ℃（%2，传感器 %3）</translation>
    </message>
    <message>
        <source>last seen %1</source>
        <translation>最后在线 %1</translation>
    </message>
</context>
<context>
    <name>UiCellVoltageChart</name>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>Cell</source>
        <translation>单体</translation>
    </message>
    <message>
        <source>Cell voltages</source>
        <translation>单体电压</translation>
    </message>
    <message>
        <source>Cell voltages: spread %1 mV (highest: cell %2, %3 V; lowest: cell %4, %5 V)</source>
        <translation>单体电压：压差 %1 mV（最高：第 %2 节，%3 V；最低：第 %4 节，%5 V）</translation>
    </message>
    <message>
        <source>Last seen %1</source>
        <translation>最后在线 %1</translation>
    </message>
    <message>
        <source>Not heard live</source>
        <translation>从未在线</translation>
    </message>
    <message>
        <source>From the mean (mV)</source>
        <translation>与平均值之差 (mV)</translation>
    </message>
</context>
<context>
    <name>UiTrendBatteryTab</name>
    <message>
        <source>Pack voltage (V)</source>
        <translation>总电压 (V)</translation>
    </message>
    <message>
        <source>Current (A)</source>
        <translation>电流 (A)</translation>
    </message>
    <message>
        <source>SOC (%)</source>
        <translation>SOC (%)</translation>
    </message>
    <message>
        <source>Highest cell (V)</source>
        <translation>最高单体 (V)</translation>
    </message>
    <message>
        <source>Lowest cell (V)</source>
        <translation>最低单体 (V)</translation>
    </message>
    <message>
        <source>Spread (mV)</source>
        <translation>压差 (mV)</translation>
    </message>
    <message>
        <source>Highest temp. (℃)</source>
        <translation>最高温度 (℃)</translation>
    </message>
    <message>
        <source>Lowest temp. (℃)</source>
        <translation>最低温度 (℃)</translation>
    </message>
    <message>
        <source>Follow BAT ID</source>
        <translation>跟随电池编号</translation>
    </message>
    <message>
        <source>1 min</source>
        <translation>1 分钟</translation>
    </message>
    <message>
        <source>10 min</source>
        <translation>10 分钟</translation>
    </message>
    <message>
        <source>1 h</source>
        <translation>1 小时</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>Export PNG</source>
        <translation>导出 PNG</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>电池</translation>
    </message>
    <message>
        <source>Time window</source>
        <translation>时间范围</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Interval (s)</source>
        <translation>间隔 (s)</translation>
    </message>
    <message>
        <source>%1 lowest</source>
        <translation>%1 最低</translation>
    </message>
    <message>
        <source>%1 highest</source>
        <translation>%1 最高</translation>
    </message>
    <message>
        <source>PNG image (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <source>CSV file (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>已保存 %1</translation>
    </message>
    <message>
        <source>Not saved: %1</source>
        <translation>未保存：%1</translation>
    </message>
    <message>
        <source>Battery %1</source>
        <translation>电池 %1</translation>
    </message>
    <message>
        <source>Battery %1 (%2)</source>
        <translation>电池 %1（%2）</translation>
    </message>
</context>
<context>
    <name>UiTrendBankTab</name>
    <message>
        <source>State of charge (%)</source>
        <translation>荷电状态 SOC (%)</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>编号</translation>
    </message>
</context>
<context>
    <name>UiTrendsWindow</name>
    <message>
        <source>Trends</source>
        <translation>趋势</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>电池</translation>
    </message>
    <message>
        <source>Bank</source>
        <translation>电池组</translation>
    </message>
</context>
<context>
    <name>UiBankLine</name>
    <message>
        <source>Protection: %1</source>
        <translation>保护：%1</translation>
    </message>
    <message>
        <source>Alarm: %1</source>
        <translation>告警：%1</translation>
    </message>
    <message>
        <source>Offline: %1</source>
        <translation>离线：%1</translation>
    </message>
    <message>
        <source>Batteries of the whole bank that need a look; click a number to select it.</source>
        <translation>整个电池组中需要关注的电池；点击编号可选中该电池。</translation>
    </message>
    <message>
        <source>%1 last heard %2</source>
        <translation>%1 最后收到 %2</translation>
    </message>
    <message>
        <source>%1 not heard live</source>
        <translation>%1 从未在线</translation>
    </message>
</context>
<context>
    <name>UiRelayStatus</name>
    <message>
        <source>State unknown: the battery is not heard; the picture is the last state heard</source>
        <translation>状态未知：未收到该电池；图片为最后收到的状态</translation>
    </message>
</context>
<context>
    <name>MainWidger</name>
    <message>
        <source>Close the window and stop the upgrade?</source>
        <translation>关闭窗口并停止升级？</translation>
    </message>
</context>
<context>
    <name>UpgradeStopQuestion</name>
    <message>
        <source>A firmware upgrade is running. Stopping it leaves the battery in its boot loader with its flash erased or half written: the battery stays out of service until it is upgraded again.</source>
        <translation>固件升级正在进行。停止升级会使电池停留在引导程序中，其闪存已擦除或只写入一半：电池在再次升级之前无法使用。</translation>
    </message>
    <message>
        <source>Upgrade running</source>
        <translation>升级进行中</translation>
    </message>
</context>
</TS>
