// Report-list columns of the forms: heading and width in pixels, all left-aligned.
// Headings are copied from the product texts.
#pragma once

#include "controls/DialogTemplate.h"

namespace res {

// opt-out list
inline constexpr ListColumn kColumns158[] = {
    {"NO.", 50},
    {"서비스", 150},
    {"전화번호", 100},
    {"발신번호", 100},
    {"통화일자", 70},
    {"통화시각", 60},
};

// agent list; SEQ_NO hidden
inline constexpr ListColumn kColumns134[] = {
    {"NO.", 50},
    {"SEQ_NO", 0},
    {"상담원이름", 150},
    {"비밀번호", 100},
    {"분배건수", 100},
};

// distribution status
inline constexpr ListColumn kColumns135[] = {
    {"NO.", 50},
    {"상담원이름", 150},
    {"분배일자", 100},
    {"분배된건수", 100},
};

}  // namespace res
