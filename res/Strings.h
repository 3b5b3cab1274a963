// The system's own texts: captions, menu items, prompts and messages, byte for byte.
// Copied from the product texts, never retyped: blanks and punctuation are part of them.
#pragma once

namespace res {

// program title; also the profile application name
inline constexpr char kAppTitle[] = "오르반타";
inline constexpr char kProfileRoot[] = "Local AppWizard-Generated Applications";
// The per-user values live in ~/.config/orvanta/orvanta.conf; kProfileRoot and kAppTitle
// name where earlier versions kept them.
inline constexpr char kProfileFolder[] = "orvanta";
inline constexpr char kMainTitleFormat[] = "오르반타(%s)";
inline constexpr char kAboutCaptionFormat[] = "오르반타(%s-%s)";
inline constexpr char kAboutBody[] = "Orvanta 버전 1.0";
inline constexpr char kButtonOk[] = "확인";
inline constexpr char kTitleError[] = "에러";
inline constexpr char kTitleInfo[] = "알림";
inline constexpr char kTitleConfirm[] = "확인";
inline constexpr char kMsgEnvUnreadable[] = "환경 정보를 읽을수 없습니다.\r\n프로그램을 종료 합니다.";
inline constexpr char kMsgQuit[] = "종료 하시겠습니까?";
inline constexpr char kLogDefaultRowField[] = "(%s)";
inline constexpr char kMenuFile[] = "파일(&F)";
inline constexpr char kMenuCallbackList[] = "상담요청 자료조회";
inline constexpr char kMenuDenyList[] = "수신거부  등록조회";
inline constexpr char kMenuExit[] = "종료(&X)";
inline constexpr char kMenuCallbackDist[] = "콜백분배(&C)";
inline constexpr char kMenuUserAgent[] = "상담원 관리";
inline constexpr char kMenuDistStatus[] = "콜백분배 현황조회";
inline constexpr char kMenuView[] = "보기(&V)";
inline constexpr char kMenuToolBar[] = "도구 모음(&T)";
inline constexpr char kMenuStatusBar[] = "상태 표시줄(&S)";
inline constexpr char kMenuWindow[] = "창(&W)";
inline constexpr char kMenuCascade[] = "계단식(&C)";
inline constexpr char kMenuTile[] = "바둑판식(&T)";
inline constexpr char kMenuArrange[] = "아이콘 정렬(&A)";
inline constexpr char kMenuHelp[] = "도움말(&H)";
inline constexpr char kMenuAbout[] = "Orvanta 정보(&A)...";
inline constexpr char kPromptCallbackList[] = "상담요청 자료를 조회 합니다.";
inline constexpr char kTipCallbackList[] = "상담요청 자료 조회";
inline constexpr char kPromptDenyList[] = "수신 거부 등록된 자료를 조회 합니다.";
inline constexpr char kTipDenyList[] = "수신거부 등록조회";
inline constexpr char kPromptUserAgent[] = "상담원을 관리합니다.";
inline constexpr char kTipUserAgent[] = "상담원 관리";
inline constexpr char kPromptDistStatus[] = "콜백 분배된 현황을 조회합니다.";
inline constexpr char kTipDistStatus[] = "콜백분배 현황조회";
inline constexpr char kIdlePrompt[] = "준비";
inline constexpr char kTitleCallbackView[] = "상담요청 자료 조회";
inline constexpr char kTitleDenyView[] = "수신거부 등록 조회";
inline constexpr char kDefaultFormText[] = "TODO: 폼 컨트롤을 이 대화 상자에 두십시오.";
inline constexpr char kLoginCaption[] = "로그인";
inline constexpr char kLoginOk[] = "로그인";
inline constexpr char kLoginCancel[] = "취소";
inline constexpr char kLoginSettings[] = "설정";
inline constexpr char kLoginIdLabel[] = "사용자ID";
inline constexpr char kLoginPasswordLabel[] = "비밀번호";
inline constexpr char kServerAddrCaption[] = "설정";
inline constexpr char kServerAddrLabel[] = "서버 주소";
inline constexpr char kServerAddrOk[] = "설정";
inline constexpr char kServerAddrCancel[] = "취소";
inline constexpr char kProfileSectionLogin[] = "ORVANTA";
inline constexpr char kProfileLastLoginId[] = "LAST_LOGIN_ID";
inline constexpr char kProfileSectionOrvanta[] = "Orvanta";
inline constexpr char kProfileAlarmCount[] = "CALLBACK_ALARM_COUNT";
inline constexpr char kProfileAlarmCountDefault[] = "5";
inline constexpr char kProfileAutoQuery[] = "CALLBACK_AUTO_QUERY";
inline constexpr char kProfileAutoQueryDefault[] = "0";
inline constexpr char kMsgUnregisteredUser[] = "등록되지 않은 사용자 입니다.";
inline constexpr char kMsgWrongPassword[] = "비밀번호가 일치하지 않습니다.";
inline constexpr char kDdxMaxChars[] = "%1 이하의 문자를 입력하십시오.";
inline constexpr char kDdxIntRange[] = "%1와(과) %2 사이의 정수를 입력하십시오.";
inline constexpr char kDdxParseInt[] = "정수를 입력하십시오.";

inline constexpr char kFormFontFace[] = "굴림체";
inline constexpr char kDenyAllServicesItem[] = "99999999.전체";

// The framework's own texts around those of the program: message-box buttons, prompts of the
// standard commands and the file type of the documents.
inline constexpr char kButtonYes[] = "예(&Y)";
inline constexpr char kButtonNo[] = "아니요(&N)";
inline constexpr char kPromptExit[] = "프로그램을 종료합니다.";
inline constexpr char kTipExit[] = "종료";
inline constexpr char kPromptAbout[] = "프로그램 정보와 버전을 표시합니다.";
inline constexpr char kPromptToolBar[] = "도구 모음을 보이거나 숨깁니다.";
inline constexpr char kPromptStatusBar[] = "상태 표시줄을 보이거나 숨깁니다.";
inline constexpr char kPromptCascade[] = "창들이 겹치도록 계단식으로 배열합니다.";
inline constexpr char kPromptTile[] = "창들이 겹치지 않도록 바둑판식으로 배열합니다.";
inline constexpr char kPromptArrange[] = "창 아래쪽에 아이콘을 정렬합니다.";
inline constexpr char kPromptActivateWindow[] = "이 창을 활성화합니다.";
inline constexpr char kAllFilesFilter[] = "모든 파일 (*)";
inline constexpr char kIndicatorCaps[] = "CAP";
inline constexpr char kIndicatorNum[] = "NUM";
inline constexpr char kIndicatorScroll[] = "SCRL";

}  // namespace res
