#include "parametercatalogue.h"

#include <limits>

namespace {

constexpr qint64 WireMaximum = 0xFFFFFFFFll;

} // namespace

ParameterCatalogue::ParameterCatalogue()
{
    // ThresholdSetting loads the file beside the executable as it is made; loading again here
    // gives the result.
    const int result = m_setting.loadSetting(ThresholdSetting::filePath());
    if (result == ThresholdSetting::LoadOpenFailed)
        m_error
            = QStringLiteral("cannot read the parameter set %1").arg(ThresholdSetting::filePath());
    else if (result != ThresholdSetting::LoadOk)
        m_error = QStringLiteral("the parameter set %1 has a malformed line")
                      .arg(ThresholdSetting::filePath());
    else if (m_setting.items().size() < ThresholdSetting::ParameterCount)
        m_error = QStringLiteral("the parameter set %1 has %2 parameters, not %3")
                      .arg(ThresholdSetting::filePath())
                      .arg(m_setting.items().size())
                      .arg(ThresholdSetting::ParameterCount);
}

int ParameterCatalogue::count() const
{
    return qMin(int(m_setting.items().size()), int(ThresholdSetting::ParameterCount));
}

const ThresholdSettingItem &ParameterCatalogue::item(int position) const
{
    return m_setting.items().at(position);
}

int ParameterCatalogue::positionOf(quint32 paramId) const
{
    return paramId > 0xFF ? -1 : m_setting.indexOfParam(uchar(paramId));
}

QString ParameterCatalogue::name(int position) const
{
    const ThresholdSettingItem &parameter = item(position);
    return QStringLiteral("%1 / %2").arg(
        m_names.english(parameter.groupNameId), m_names.english(parameter.nameId));
}

qint64 ParameterCatalogue::minimum(int position) const
{
    return qMax(-qint64(item(position).offset), qint64(std::numeric_limits<qint32>::min()));
}

qint64 ParameterCatalogue::maximum(int position) const
{
    return qMin(
        WireMaximum - qint64(item(position).offset), qint64(std::numeric_limits<qint32>::max()));
}
