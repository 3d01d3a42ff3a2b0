#pragma once
// Every text the user sees or the log shows, exactly as the product shows it:
// window, tray, balloons, dialogs, menu items, log lines. A second language is a
// second table declaring the same names; a review of wording reads this file.
// Where a text is joined to a name (a device, a port), the comment says where.
// Most are string views; the few that code joins as C strings or passes as
// printf formats are arrays.
//
// Texts that are not the user's stay with their code: the integrator's block
// names, window class and message numbers (include/tovira_relay.h), the settings
// keys and file names (app/settings.*), the resource names of the pictures.
//
// Kept as copies elsewhere, since they cannot include this file:
// - ui/resources/tovira.rc: the version dialog ("バージョン情報", "トヴィラ",
//   "&OK"; its "Version:" and mode label are replaced when it opens) and the
//   FileDescription "トヴィラ";
// - app/installer/tovira.nsi: "トヴィラ" and the mode labels, formed there from
//   its LABEL ("トヴィラ（クオランデル用）"), besides the installer's own texts;
// - ui/resources/ToviraHelp.html quotes the menu items, buttons and balloons;
//   tests/ui/check_help_texts.py checks those quotes against this table.

#include <string_view>

namespace tovira::texts {

// The program's name, written once: the sentences that begin with it stay whole
// literals, as a translation needs them.
#define TOVIRA_TEXT_PROGRAM_NAME L"トヴィラ"

// The window's title, the title label in it, the balloons' title.
inline constexpr std::wstring_view kWindowTitle = TOVIRA_TEXT_PROGRAM_NAME;
inline constexpr std::wstring_view kAlreadyRunning = TOVIRA_TEXT_PROGRAM_NAME L"は起動されています。";
inline constexpr std::wstring_view kAlreadyRunningCaption = L"二重起動はできません。";

#undef TOVIRA_TEXT_PROGRAM_NAME

// The status window's controls.
inline constexpr std::wstring_view kRefreshButton = L"更新(&R)";
inline constexpr std::wstring_view kSearchingNote = L"更新中です。しばらくお待ちください。";
inline constexpr std::wstring_view kOkButton = L"&OK";
inline constexpr std::wstring_view kPortNotSave = L"ポート番号を保存しない(&P)";
inline constexpr std::wstring_view kBatteryLabel = L"電池";
inline constexpr std::wstring_view kStatusCaption = L"通信状況";
inline constexpr std::wstring_view kPortCaption = L"通信ポート：";
inline constexpr std::wstring_view kClearLogButton = L"ログクリア(&C)";
// The serial lines' lamps, in the order of the window.
inline constexpr std::wstring_view kLineLampLabels[] = {L"OPEN", L"CD", L"DSR", L"DTR", L"RTS", L"CTS"};
// The mode labels under the title, index = mode - 1.
inline constexpr std::wstring_view kModeLabels[] = {L"（ヴェルモラ用）", L"（クオランデル用）",
                                                    L"（ハルモア用）"};

// The targets' display names, index = mode - 1 (the field report names the mode by them).
inline constexpr std::wstring_view kTargetDisplayNames[] = {L"ヴェルモラSW", L"クオラン", L"ハルモア"};

// The version dialog's version line: + the program's version.
inline constexpr wchar_t kVersionPrefix[] = L"Version: ";

// The tray icon: its tooltip, its menu, the question before exiting.
inline constexpr std::wstring_view kTipConnected = L"ワイヤレススイッチは接続されています。";
inline constexpr std::wstring_view kTipNotConnected = L"ワイヤレススイッチは接続されていません。";
// The tooltip's second line while connected with the battery low, and the balloon
// at the start of each low-battery episode.
inline constexpr std::wstring_view kLowBattery = L"電池残量が少なくなっています。";
inline constexpr std::wstring_view kMenuVersion = L"バージョン情報(&A)";
inline constexpr std::wstring_view kMenuHelp = L"ヘルプ(&H)";
inline constexpr std::wstring_view kMenuTest = L"動作テスト(&T)";
inline constexpr std::wstring_view kMenuNotBalloon = L"バルーン非表示(&B)";
inline constexpr std::wstring_view kMenuExit = L"終了(&X)";
// Text and caption follow the window title.
inline constexpr std::wstring_view kExitQuestion =
    L"を終了すると、スイッチが使えなくなりますがいいですか？\r\nここで終了しても、ウインドウズを再起動すると"
    L"使えるようになります。";
inline constexpr std::wstring_view kExitCaptionSuffix = L"の警告";
inline constexpr std::wstring_view kClosing = L"終了処理中...";
inline constexpr std::wstring_view kClosed = L"終了処理完了";

// The link to the switch: balloons after the device name, log lines after the
// port name, and lines of their own.
inline constexpr std::wstring_view kConnecting = L"と接続中．．．";          // device name +
inline constexpr std::wstring_view kConnectingLog = L"接続中...";            // port name +
inline constexpr std::wstring_view kCannotOpen = L"をオープンできません。";  // port name +
inline constexpr std::wstring_view kConnectedLog = L"接続済";                // port name +
inline constexpr std::wstring_view kConnected = L"と接続しました。";         // device name +
inline constexpr std::wstring_view kDisconnected = L"と接断されました。";    // device name +
inline constexpr std::wstring_view kNoSuchPort = L"指定したシリアルポートがありません。";
inline constexpr std::wstring_view kCannotRead = L"シリアルポートから読み込めません。";  // + platform text
// The platform's text when the system has none for an error: + the error number.
inline constexpr wchar_t kSystemErrorNumber[] = L"Error ";
inline constexpr std::wstring_view kLoneByteDropped = L"対になるバイトが届かないため、1バイトを捨てました。";
inline constexpr std::wstring_view kReceiveError = L"受信エラーがありました。";
inline constexpr std::wstring_view kPlainReads =
    L"このポートのドライバーは読み込みを空で終えるため、この接続では10ミリ秒ごとに受信を確かめます。";
inline constexpr std::wstring_view kPolledLines =
    L"このポートのドライバーは信号線の変化を知らせないため、この接続では10ミリ秒ごとに確かめます。";
inline constexpr std::wstring_view kPortAbandoned = L"ポートが閉じられないため、閉じずに手放しました。";
inline constexpr std::wstring_view kReceiveErrorDropped =
    L"受信エラーがありました。組になっていないバイトを捨てました。";

// A stored port that stopped opening, found again under another name: device
// name + kPortMoved + new port + kPortMovedEnd (balloon); the log line is
// kPortMovedLog + old port + kPortMovedArrow + new port.
inline constexpr std::wstring_view kPortMoved = L"のポートが";
inline constexpr std::wstring_view kPortMovedEnd = L"に変わりました。";
inline constexpr std::wstring_view kPortMovedLog = L"ポート変更：";
inline constexpr wchar_t kPortMovedArrow[] = L" -> ";

// The Bluetooth search's balloons.
inline constexpr std::wstring_view kSearchStarted =
    L"Bluetooth情報を検索中です。この処理には1分程度かかる場合があります。";
inline constexpr std::wstring_view kSearchFinished = L"Bluetooth情報の検索を終了しました。";
// A search that found no device of the stored name: the window opens and asks,
// in the searching note's place, until the carer picks from the list.
inline constexpr std::wstring_view kChooseSwitch = L"一覧からスイッチを選んでください。";

// The shared block that could not be made: an error box, caption and text.
inline constexpr std::wstring_view kSharedMemoryErrorCaption = L"共有メモリーエラー";
inline constexpr std::wstring_view kCreateMappingFailed = L"CreateFileMapping に失敗しました";
inline constexpr std::wstring_view kMapViewFailed = L"MapViewOfFile に失敗しました";

// The relay's log lines, printf formats.
inline constexpr wchar_t kPressPostedLog[] = L"Post Quo ON :%d";     // the button number
inline constexpr wchar_t kReleasePostedLog[] = L"Post Quo OFF :%d";  // the button number
inline constexpr wchar_t kStateWrittenLog[] = L"pStatus :%02X";      // the state byte
// A log line that could not be formatted or did not fit.
inline constexpr std::wstring_view kLogFormatError = L"Log Buffer Format Error";

// The support log's file could not be renamed to its older generation (another
// program holds it): said once, in the file and the panel, until a rename succeeds.
inline constexpr std::wstring_view kSupportLogCannotRotate = L"サポートログを切り替えられません。";

// Words for assistive technology and the tooltips: what each picture and lamp
// shows, never by colour alone.
inline constexpr std::wstring_view kButtonWord = L"ボタン";  // + number + " " + state
inline constexpr std::wstring_view kButtonPressed = L"押されています";
inline constexpr std::wstring_view kButtonReleased = L"離されています";
inline constexpr std::wstring_view kConnectedWord = L"接続されています";
inline constexpr std::wstring_view kNotConnectedWord = L"接続されていません";
inline constexpr std::wstring_view kBatteryLow = L"電池残量が少なくなっています";
inline constexpr std::wstring_view kBatteryFine = L"電池は十分です";
inline constexpr std::wstring_view kLampOn = L"オン";  // after the lamp's label and a space
inline constexpr std::wstring_view kLampOff = L"オフ";
inline constexpr std::wstring_view kDeviceListName = L"スイッチの選択";
inline constexpr std::wstring_view kLogPanelName = L"ログ";

}  // namespace tovira::texts
