#pragma once

#include "formats/textlogwriter.h"

// Writes a TRC log of version 2.1 (see TrcLine): the header before the first frame, its start
// taken from it.
class TrcLogWriter : public TextLogWriter
{
protected:
    QByteArray header(const LoggedFrame &first) override;
    QByteArray line(const LoggedFrame &frame) override;

private:
    qint64 m_startUs = 0;
};
