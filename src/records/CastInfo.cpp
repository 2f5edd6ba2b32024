#include "records/CastInfo.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "records/RecordFields.h"

#include <string>

namespace marevo {

namespace {

#define CAST_FIELD(field) MAREVO_FIELD_MAP(TCastInfo, TCastInfoRecord, field)
constexpr TFieldMap CastInfoFields[] = {
    CAST_FIELD(ID),
    CAST_FIELD(InfoStr),
    CAST_FIELD(CastTime),
    CAST_FIELD(latitude),
    CAST_FIELD(longitude),
    CAST_FIELD(BottomValue),
    CAST_FIELD(comment),
    CAST_FIELD(DataSetNb),
    CAST_FIELD(FrameError),
    CAST_FIELD(RawMode),
    CAST_FIELD(ScanRate),
    CAST_FIELD(xSpare),
    CAST_FIELD(DupTempNb),
    CAST_FIELD(DupCondNb),
    CAST_FIELD(DupOxyNb),
    CAST_FIELD(ExtractMode),
    CAST_FIELD(ExtractStep),
    CAST_FIELD(ExtractNb),
    CAST_FIELD(MinPressure),
    CAST_FIELD(ValidateError),
    CAST_FIELD(DupAltiNb),
    CAST_FIELD(StartTimeExtr),
    CAST_FIELD(InvalidCast),
    CAST_FIELD(SortingExtractionError),
    CAST_FIELD(OfflineFilteringError),
    CAST_FIELD(PressureOffsetFilter),
    CAST_FIELD(reserve),
};
#undef CAST_FIELD
static_assert(FieldsFillRecord(CastInfoFields, sizeof(TCastInfoRecord)),
              "every byte of the stored header must come from one TCastInfo field");

// Default position of a new cruise, decimal degrees.
constexpr long double DefaultLatitude = NominalLatitude;
constexpr long double DefaultLongitude = 9.2834L;

} // namespace

TCastInfoRecord TCastInfo::ToRecord() const {
    TCastInfoRecord record;
    ObjectToRecord(*this, record, CastInfoFields);
    return record;
}

void TCastInfo::FromRecord(const TCastInfoRecord& record) {
    RecordToObject(record, *this, CastInfoFields);
}

bool TCastInfo::SetDefCruise(std::string_view CruiseName) {
    return Guard({"FUNC: CastInfoCollection.SetDefCruise", "Default Cruise setup"}, [&] {
        TCastInfo next = *this;
        next.ID = 0;
        next.InfoStr[0].Set(std::to_string(next.ID));
        next.InfoStr[1].Set(CruiseName);
        next.InfoStr[2].Set(CruiseName);
        const TDateTime now = Clock().Now();
        next.CastTime = {now, now, now};
        // The bottom position is the cast's own: a new cruise header leaves it alone.
        next.latitude[0] = next.latitude[2] = TExtended::FromLongDouble(DefaultLatitude);
        next.longitude[0] = next.longitude[2] = TExtended::FromLongDouble(DefaultLongitude);
        next.InfoStr[3].Set("Ship Name");
        next.InfoStr[4].Set("");
        next.RawMode = rm_RealTime;
        next.ExtractMode = AM_Time;
        next.ScanRate = TExtended::FromDouble(1.0);
        next.DupTempNb = 0;
        next.DupCondNb = 0;
        next.DupOxyNb = 0;
        next.DupAltiNb = 0;
        next.comment.Set("");
        *this = next;
    });
}

void TCastInfo::SetDefCast(std::int32_t castNb, TAcquiMode extractMode, TExtended extractStep) {
    TCastInfo next = *this;
    next.RawMode = rm_RealTime;
    next.ExtractMode = extractMode;
    next.ExtractNb = 0;
    next.ExtractStep = extractStep;
    next.ID = castNb;
    const std::string number = std::to_string(castNb);
    next.InfoStr[0].Set(number);
    next.InfoStr[1].Set("Cast " + number);
    const TDateTime now = Clock().Now();
    next.CastTime = {now, now, now};
    next.latitude[1] = next.latitude[2] = next.latitude[0];
    next.longitude[1] = next.longitude[2] = next.longitude[0];
    // Deliberately the values only: the flags carry over from the previous cast.
    for (TFlaggedValue& bottom : next.BottomValue)
        bottom.value = 0.0f;
    next.comment.Set("");
    *this = next;
}

bool TCastInfo::WriteCastInfo(TStream& stream) const {
    return Guard({"FUNC: CastInfo.WriteCastInfo", "Write Cast information "}, [&] {
        const TCastInfoRecord record = ToRecord();
        TRecordWriter writer(stream, "TCastInfo.WriteCastInfo: write error - ");
        WriteFields(writer, record, CastInfoFields);
    });
}

bool TCastInfo::ReadCastInfo(TStream& stream) {
    return Guard({"FUNC: CastInfo.ReadCastInfo", "Read Cast information "}, [&] {
        TCastInfoRecord record;
        TRecordReader reader(stream, "TCastInfo.ReadCastInfo: read error - ");
        ReadFields(reader, record, CastInfoFields);
        FromRecord(record);
    });
}

} // namespace marevo
