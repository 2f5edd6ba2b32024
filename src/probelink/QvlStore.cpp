// The probe command protocol (QvlUtil.h): the checks and stores of its answers, what each answer
// must look like and where what it says goes (the protocol state, the collection's probe
// information, the configuration's rosette, the transcript).

#include "probelink/QvlUtil.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"

#include <algorithm>
#include <cmath>

namespace marevo {

// ---- Checks and stores -------------------------------------------------------------------------

bool TQvlUtil::CheckResult(TCmdId cmd) {
    if (cmd == cm_last)
        cmd = IdentifyCommand(ResStr);
    return Protected("Exc: Check cmd result Error ", [&] {
        switch (cmd) {
        case cm_ER: {
            const TAnswerCheck check = CheckErCode(ResStr);
            if (check.error != cer_format)
                LastError = check.probeError;
            return Verdict(check);
        }
        case cm_SN: {
            TSnAnswer sn;
            return Verdict(marevo::CheckSN(ResStr, sn));
        }
        case cm_VN: {
            TVnAnswer vn;
            return Verdict(marevo::CheckVN(ResStr, vn));
        }
        case cm_RB: {
            Battery = {};
            long double volts = 0;
            return Verdict(marevo::CheckRB(ResStr, volts));
        }
        case cm_TS: {
            const bool erForm = CheckErCode(ResStr).error != cer_format;
            if (!Verdict(marevo::CheckTS(ResStr)))
                return false;
            if (erForm) {
                CurrentTime = Clock().Now();
                ResStr = CmdStr;
            }
            return true;
        }
        case cm_DF: {
            DFnb = 0;
            int format = 0;
            return Verdict(marevo::CheckDF(ResStr, format));
        }
        case cm_CS: {
            MemCast.MemCastNb = 0;
            if (LastMemoryCast() == 0)
                return true; // an empty memory answers anything
            TMemoryCastAnswer cs;
            return Verdict(marevo::CheckCS(ResStr, cs));
        }
        case cm_SC: {
            long double rate = 0;
            return Verdict(marevo::CheckSC(ResStr, rate));
        }
        case cm_SS: {
            ParaNb = 0;
            std::vector<std::int32_t> channels;
            return Verdict(marevo::CheckSS(ResStr, channels));
        }
        case cm_CA: {
            CalPa = 0;
            CalDate = 0;
            Cal = {};
            TCalibAnswer ca;
            return Verdict(marevo::CheckCA(ResStr, ca));
        }
        case cm_RT: {
            TRosetteAnswer rt;
            if (Verdict(marevo::CheckRT(ResStr, rt)))
                return true;
            RosType = 0;
            RosPos = 0;
            RosHomeTimeOut = RosFireTimeOut = 0;
            return false;
        }
        case cm_RS: {
            int position = 0, status = 0;
            return Verdict(marevo::CheckRS(ResStr, position, status));
        }
        case cm_RQ: {
            TRosetteIdAnswer rq;
            if (Verdict(marevo::CheckRQ(ResStr, rq)))
                return true;
            RosSerialNum = 0;
            RosArmPos = 0;
            RosBatteryVolt = 0;
            return false;
        }
        case cm_MS: {
            MemStatus = {};
            std::array<std::int32_t, 6> status{};
            return Verdict(marevo::CheckMS(ResStr, status));
        }
        case cm_DM: return Verdict(marevo::CheckDM(ResStr));
        case cm_SO:
        case cm_FB:
        case cm_CD:
        case cm_OO: return true; // no answer is read
        default: return Verdict(CheckErCode(ResStr));
        }
    });
}

bool TQvlUtil::SetInfo(TCmdId cmd) {
    if (cmd == cm_last)
        cmd = IdentifyCommand(ResStr);
    return Protected("Exc: Set Info cmd result Error ", [&] {
        TProbeInfo& info = Target().ProbeInfo;
        bool transcript = false;
        switch (cmd) {
        case cm_SN: {
            TSnAnswer sn;
            marevo::CheckSN(ResStr, sn);
            SnStr = sn.serial;
            info.UnitSN.Set(SnStr);
            info.UnitType.Set(SnStr.substr(0, 3));
            transcript = true;
            break;
        }
        case cm_VN: {
            TVnAnswer vn;
            marevo::CheckVN(ResStr, vn);
            VnStr = vn.version.substr(0, 126);
            VnNb = TExtended::FromLongDouble(vn.number);
            info.Firmware.Set(vn.firmware);
            transcript = true;
            break;
        }
        case cm_RB: {
            long double volts = 0;
            marevo::CheckRB(ResStr, volts);
            Battery = TExtended::FromLongDouble(volts);
            info.Voltage = static_cast<float>(volts);
            transcript = true;
            break;
        }
        case cm_TS:
            info.PhysDate = MemCast.MemDateTime;
            transcript = true;
            break;
        case cm_DF: {
            int format = 0;
            marevo::CheckDF(ResStr, format);
            DFnb = format;
            info.Protocol = format;
            transcript = true;
            break;
        }
        case cm_CS: {
            if (LastMemoryCast() == 0)
                break;
            TMemoryCastAnswer cs;
            marevo::CheckCS(ResStr, cs);
            MemCast.MemCastNb = cs.castNb;
            if (cs.castNb == 0)
                break;
            MemCast.MemSetNb = cs.setNb;
            MemCast.MemAcquiMode = static_cast<std::uint8_t>(cs.acquiMode);
            MemCast.MemCastName = cs.castName;
            MemCast.MemInterval = cs.interval;
            MemCast.MemDateTime = cs.dateTime;
            break;
        }
        case cm_SC: {
            long double rate = 10.0L;
            marevo::CheckSC(ResStr, rate);
            Rate = TExtended::FromLongDouble(rate);
            info.ScanRate = Rate;
            break;
        }
        case cm_SS: {
            std::vector<std::int32_t> channels;
            marevo::CheckSS(ResStr, channels);
            ParaListSS = {};
            std::copy(channels.begin(), channels.end(), ParaListSS.begin() + 1);
            ParaNb = static_cast<std::int32_t>(channels.size());
            info.PaListStr.Set(ResStr.substr(std::min<std::size_t>(3, ResStr.size()), 127));
            transcript = true;
            break;
        }
        case cm_CA: {
            TCalibAnswer ca;
            marevo::CheckCA(ResStr, ca);
            CalPa = ca.channel;
            CalDate = ca.date;
            CalNb = ca.coefNb;
            CalLen = ca.length;
            for (std::size_t i = 0; i < Cal.size(); ++i)
                Cal[i] = TExtended::FromLongDouble(ca.coefs[i]);
            TParameter* p = Target().FindQvlPara(CalPa);
            if (!p) {
                cmd_error = cer_ParaNb;
                return false;
            }
            std::copy(Cal.begin(), Cal.end(), std::begin(p->ParaCalib.calib));
            p->ParaCalib.DateStandard = CalDate;
            if (CalLen == 3 || CalLen == 4) {
                p->ParaFrame.SizeByte = CalLen;
                p->paraRaw.ConvType = CalLen == 3 ? ParaConvByte3 : ParaConvSingle;
            }
            transcript = true;
            break;
        }
        case cm_RT: {
            TRosetteAnswer rt;
            marevo::CheckRT(ResStr, rt);
            RosType = static_cast<std::uint8_t>(rt.type);
            RosPos = static_cast<std::uint8_t>(rt.positions);
            RosFireTimeOut = static_cast<double>(rt.fireTimeOut);
            RosHomeTimeOut = static_cast<double>(rt.homeTimeOut);
            info.SamplerType = RosType;
            info.BottlesNumber = RosPos;
            info.TimeOut = static_cast<std::uint16_t>(std::lround(RosHomeTimeOut));
            info.FireDelay = static_cast<std::uint16_t>(std::lround(RosFireTimeOut));
            // Without an installed configuration this raises: the answer is then not stored
            // (logged, false), though the probe information already has it.
            TRosetteInfo& rosette = Config().Rosette;
            rosette.RosetteType = static_cast<TRosetteType>(RosType);
            rosette.MaxBottlePos = RosPos;
            rosette.TimeOut = SecondsToDays(RosHomeTimeOut);
            rosette.FireDelay = SecondsToDays(RosFireTimeOut);
            transcript = true;
            break;
        }
        case cm_RS: {
            int position = 0, status = 0;
            marevo::CheckRS(ResStr, position, status);
            RosCurPos = position;
            RosCurStatus = status;
            WriteLog(ResStr);
            break;
        }
        case cm_RQ: {
            TRosetteIdAnswer rq;
            marevo::CheckRQ(ResStr, rq);
            RosSerialNum = rq.serial;
            RosArmPos = rq.armPosition;
            RosBatteryVolt = rq.batteryVolts;
            info.SerialNumber = RosSerialNum;
            info.ArmPosition = RosArmPos;
            info.BatteryVoltage = RosBatteryVolt;
            break;
        }
        case cm_MS: {
            std::array<std::int32_t, 6> status{};
            marevo::CheckMS(ResStr, status);
            MemStatus = status;
            break;
        }
        case cm_OL:
            if (Qvl_Error != 0) {
                cmd_error = cer_ErCode;
                return false;
            }
            break;
        case cm_SO: connected = false; break;
        default: break;
        }
        if (transcript)
            WriteXfrLine(XfrAnswerLine(cmd, answer_.empty() ? ResStr : answer_));
        return true;
    });
}

} // namespace marevo
