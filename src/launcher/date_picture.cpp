#include "launcher/date_picture.h"

#include "launcher/text.h"

namespace zorv {
namespace {

std::wstring TwoDigits(unsigned value) {
    return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10 % 10)) + static_cast<wchar_t>(L'0' + value % 10);
}

std::wstring Number(unsigned value, std::size_t run) { return run >= 2 ? TwoDigits(value) : DecimalText(value); }

// The Windows picture grammar: runs of one letter are fields, text between
// single quotes is literal, everything else is copied.
template <typename Field>
std::wstring FormatPicture(const std::wstring& picture, const std::wstring& letters, Field field) {
    std::wstring result;
    for (std::size_t i = 0; i < picture.size();) {
        wchar_t c = picture[i];
        if (c == L'\'') {
            std::size_t close = picture.find(L'\'', i + 1);
            if (close == std::wstring::npos) close = picture.size();
            result.append(picture, i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (letters.find(c) == std::wstring::npos) {
            result += c;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        result += field(c, run);
        i += run;
    }
    return result;
}

const wchar_t* const kMonths[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                  L"July",    L"August",   L"September", L"October", L"November", L"December"};
const wchar_t* const kDays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};

}  // namespace

std::wstring FormatTimeFields(const std::wstring& picture, const LocalTime& time) {
    return FormatPicture(picture, L"Hhmst", [&time](wchar_t letter, std::size_t run) -> std::wstring {
        unsigned twelve = time.hour % 12 == 0 ? 12u : time.hour % 12u;
        switch (letter) {
            case L'H': return Number(time.hour, run);
            case L'h': return Number(twelve, run);
            case L'm': return Number(time.minute, run);
            case L's': return Number(time.second, run);
            default: return std::wstring(time.hour < 12 ? L"AM" : L"PM").substr(0, run >= 2 ? 2 : 1);
        }
    });
}

std::wstring FormatDateFields(const std::wstring& picture, const LocalTime& time) {
    return FormatPicture(picture, L"dMyg", [&time](wchar_t letter, std::size_t run) -> std::wstring {
        switch (letter) {
            case L'd': {
                if (run <= 2) return Number(time.day, run);
                std::wstring name = kDays[time.dayOfWeek % 7];
                return run == 3 ? name.substr(0, 3) : name;
            }
            case L'M': {
                if (run <= 2) return Number(time.month, run);
                std::wstring name = kMonths[(time.month + 11) % 12];
                return run == 3 ? name.substr(0, 3) : name;
            }
            case L'y':
                if (run >= 3) return DecimalText(time.year);
                return Number(time.year % 100u, run);
            default: return L"A.D.";
        }
    });
}

}  // namespace zorv
