// Dialog and form templates: every control with its identifier, caption and position in
// dialog units, in creation (tab) order. Captions are copied from the product texts.
#pragma once

#include "controls/DialogTemplate.h"

namespace res {

// 102: callback-request view; font 굴림체 9 pt
inline constexpr DlgItem kForm102Items[] = {
    {1021, DlgItemKind::ComboDropList, nullptr, 79, 8, 163, 235, 0},
    {1018, DlgItemKind::DatePicker, nullptr, 79, 23, 70, 12, 0},
    {1019, DlgItemKind::DatePicker, nullptr, 167, 23, 70, 12, 0},
    {1302, DlgItemKind::FlatButton, "자동검 사시작(&R)", 246, 7, 30, 30, 0},
    {1003, DlgItemKind::FlatButton, "자동검 사종료(&S)", 280, 7, 30, 30, 0},
    {1014, DlgItemKind::FlatButton, "미처리리스트(&Q)", 319, 7, 30, 30, 0},
    {1017, DlgItemKind::FlatButton, "처리\n리스트(&B)", 351, 7, 30, 30, 0},
    {1015, DlgItemKind::FlatButton, "전체\n리스트(&T)", 383, 7, 30, 30, dlg::Hidden},
    {1016, DlgItemKind::FlatButton, "메모\n입력\n(&M)", 420, 7, 30, 30, 0},
    {1304, DlgItemKind::FlatButton, "완료\n처리\n(&A)", 452, 7, 30, 30, 0},
    {1109, DlgItemKind::FlatButton, "엑셀\n출력(&E)", 502, 7, 30, 30, 0},
    {1305, DlgItemKind::FlatButton, "콜백율\n조회\n(&C)", 556, 7, 30, 30, 0},
    {1308, DlgItemKind::FlatButton, "선택자료수동분배", 588, 7, 30, 30, 0},
    {1209, DlgItemKind::FlatButton, "닫기(&X)", 624, 7, 30, 30, 0},
    {1026, DlgItemKind::Edit, nullptr, 624, 43, 20, 12, dlg::AutoHScroll},
    {1427, DlgItemKind::UpDown, nullptr, 644, 43, 11, 13, 0},
    {1056, DlgItemKind::FlatButton, "전체 선택", 319, 64, 62, 14, 0},
    {1057, DlgItemKind::FlatButton, "전체 선택 해제", 388, 64, 62, 14, 0},
    {1006, DlgItemKind::ListReport, nullptr, 5, 80, 651, 292, dlg::MultiSel},
    {-1, DlgItemKind::GroupBox, nullptr, 0, 0, 314, 57, 0},
    {1306, DlgItemKind::Static, nullptr, 5, 375, 651, 15, dlg::Center},
    {-1, DlgItemKind::Static, "서비스 ID", 6, 8, 67, 12, 0},
    {-1, DlgItemKind::Static, "소리 알림 자료수", 552, 44, 69, 12, 0},
    {1055, DlgItemKind::Static, "10", 183, 40, 19, 12, dlg::Center},
    {-1, DlgItemKind::Static, "초 후에 다시 조회", 206, 40, 73, 12, 0},
    {-1, DlgItemKind::Static, "~", 154, 23, 8, 12, 0},
    {-1, DlgItemKind::Static, "검색 기간", 6, 23, 67, 12, 0},
    {1020, DlgItemKind::CheckBox, "미처리건 자동조회", 463, 44, 84, 12, 0},
    {1022, DlgItemKind::CheckBox, "자동인쇄 사용", 463, 57, 84, 12, 0},
    {1023, DlgItemKind::ColorLabel, "새 콜백 데이터 건수", 5, 38, 116, 16, dlg::Center},
    {1024, DlgItemKind::ColorLabel, "0", 121, 38, 57, 16, dlg::Center},
};
inline constexpr DlgTemplate kForm102{102, nullptr, 662, 396, kForm102Items, std::size(kForm102Items)};

// 101: default form view
inline constexpr DlgItem kForm101Items[] = {
    {-1, DlgItemKind::Static, "TODO: 폼 컨트롤을 이 대화 상자에 두십시오.", 24, 42, 280, 8, 0},
};
inline constexpr DlgTemplate kForm101{101, nullptr, 320, 200, kForm101Items, std::size(kForm101Items)};

// 100: about box; its caption is set when it opens
inline constexpr DlgItem kDialog100Items[] = {
    {-1, DlgItemKind::Icon, nullptr, 11, 17, 20, 20, 0},
    {-1, DlgItemKind::Static, "Orvanta 버전 1.0", 40, 10, 119, 8, dlg::NoPrefix},
    {1, DlgItemKind::PushButton, "확인", 178, 7, 50, 14, dlg::Default},
};
inline constexpr DlgTemplate kDialog100{100, nullptr, 235, 55, kDialog100Items, std::size(kDialog100Items)};

// 156: login
inline constexpr DlgItem kDialog156Items[] = {
    {-1, DlgItemKind::Static, "사용자ID", 7, 9, 40, 10, 0},
    {1346, DlgItemKind::Edit, nullptr, 50, 7, 80, 13, dlg::AutoHScroll},
    {-1, DlgItemKind::Static, "비밀번호", 7, 26, 40, 10, 0},
    {1045, DlgItemKind::Edit, nullptr, 50, 24, 80, 13, dlg::AutoHScroll|dlg::Password},
    {1, DlgItemKind::FlatButton, "로그인", 137, 6, 42, 14, dlg::Default},
    {2, DlgItemKind::FlatButton, "취소", 137, 23, 42, 14, 0},
    {3, DlgItemKind::FlatButton, "설정", 137, 40, 42, 14, 0},
};
inline constexpr DlgTemplate kDialog156{156, "로그인", 186, 62, kDialog156Items, std::size(kDialog156Items)};

// 130: server address
inline constexpr DlgItem kDialog130Items[] = {
    {-1, DlgItemKind::Static, "서버 주소", 7, 9, 40, 10, 0},
    {1007, DlgItemKind::Edit, nullptr, 50, 7, 133, 13, dlg::AutoHScroll},
    {1, DlgItemKind::FlatButton, "설정", 80, 27, 50, 14, dlg::Default},
    {2, DlgItemKind::FlatButton, "취소", 133, 27, 50, 14, 0},
};
inline constexpr DlgTemplate kDialog130{130, "설정", 190, 48, kDialog130Items, std::size(kDialog130Items)};

// 158: opt-out view
inline constexpr DlgItem kForm158Items[] = {
    {-1, DlgItemKind::GroupBox, nullptr, 0, 0, 250, 42, 0},
    {-1, DlgItemKind::Static, "서비스 ID", 6, 8, 45, 12, 0},
    {1021, DlgItemKind::ComboDropList, nullptr, 55, 7, 185, 200, 0},
    {-1, DlgItemKind::Static, "조회 기간", 6, 24, 45, 12, 0},
    {1018, DlgItemKind::DatePicker, nullptr, 55, 23, 80, 12, 0},
    {-1, DlgItemKind::Static, "-", 140, 24, 8, 12, dlg::Center},
    {1019, DlgItemKind::DatePicker, nullptr, 150, 23, 80, 12, 0},
    {1014, DlgItemKind::FlatButton, "리스트 조회(&Q)", 256, 7, 50, 30, 0},
    {1000, DlgItemKind::FlatButton, "화일저장(&S)", 310, 7, 50, 30, 0},
    {1109, DlgItemKind::FlatButton, "엑셀 출력(&E)", 364, 7, 50, 30, 0},
    {1209, DlgItemKind::FlatButton, "닫기(&X)", 425, 7, 50, 30, 0},
    {1006, DlgItemKind::ListReport, nullptr, 5, 46, 470, 279, dlg::MultiSel},
};
inline constexpr DlgTemplate kForm158{158, nullptr, 480, 330, kForm158Items, std::size(kForm158Items)};

// 134: agent management
inline constexpr DlgItem kDialog134Items[] = {
    {1006, DlgItemKind::ListReport, nullptr, 7, 7, 286, 120, 0},
    {-1, DlgItemKind::Static, "상담원이름", 7, 135, 55, 10, 0},
    {1009, DlgItemKind::Edit, nullptr, 65, 133, 90, 13, dlg::AutoHScroll},
    {-1, DlgItemKind::Static, "비밀  번호", 7, 152, 55, 10, 0},
    {1045, DlgItemKind::Edit, nullptr, 65, 150, 90, 13, dlg::AutoHScroll},
    {-1, DlgItemKind::Static, "최대 분배건수", 7, 169, 55, 10, 0},
    {1046, DlgItemKind::Edit, nullptr, 65, 167, 90, 13, dlg::AutoHScroll},
    {1010, DlgItemKind::Edit, nullptr, 160, 133, 20, 13, dlg::Hidden},
    {1011, DlgItemKind::FlatButton, "추가(&A)", 188, 132, 50, 15, 0},
    {1012, DlgItemKind::FlatButton, "변경(&C)", 243, 132, 50, 15, 0},
    {1013, DlgItemKind::FlatButton, "삭제(&D)", 188, 150, 50, 15, 0},
    {2, DlgItemKind::FlatButton, "닫기(&X)", 243, 150, 50, 15, 0},
    {1014, DlgItemKind::FlatButton, "조회(&Q)", 188, 168, 50, 15, dlg::Hidden},
    {-1, DlgItemKind::Static, "\n - 상담원 이름은 공백없이 입력하시기 바랍니다.\n\n - 상담원이름은 한번 등록하면 변경이 불가 하며 삭제후 다시 등록 하여야 \n   합니다.\n\n - 비밀번호와 분배 건수만 변경 가능합니다.", 7, 184, 286, 60, 0},
};
inline constexpr DlgTemplate kDialog134{134, "상담원 관리", 300, 250, kDialog134Items, std::size(kDialog134Items)};

// 135: distribution status
inline constexpr DlgItem kDialog135Items[] = {
    {-1, DlgItemKind::Static, "검색 기간", 7, 9, 40, 10, 0},
    {1018, DlgItemKind::DatePicker, nullptr, 50, 7, 62, 13, 0},
    {-1, DlgItemKind::Static, "~", 114, 9, 8, 10, dlg::Center},
    {1019, DlgItemKind::DatePicker, nullptr, 124, 7, 62, 13, 0},
    {1014, DlgItemKind::FlatButton, "조회(&Q)", 192, 6, 45, 15, dlg::Default},
    {2, DlgItemKind::FlatButton, "닫기(&X)", 240, 6, 45, 15, 0},
    {1006, DlgItemKind::ListReport, nullptr, 7, 27, 278, 192, 0},
};
inline constexpr DlgTemplate kDialog135{135, "콜백분배 현황조회", 290, 226, kDialog135Items, std::size(kDialog135Items)};

}  // namespace res
