// Every text the conversion job shows, in one place. UTF-8.
#pragma once

#include <string_view>

namespace velmira::messages {

// Settings (checked in this order).
inline constexpr std::string_view kBadRange = "開始・終了番号を正しく指定して下さい";
inline constexpr std::string_view kBadOffset = "オフセットが範囲を超えています";
inline constexpr std::string_view kNotBmp = "ＢＭＰファイルを指定して下さい";
inline constexpr std::string_view kBadFileName = "ファイル名が正しくありません";

// Loading and writing whole files.
inline constexpr std::string_view kFileNotFound = "ファイルが見つかりません";
inline constexpr std::string_view kCannotOpen = "ファイルをオープンできません";
inline constexpr std::string_view kNoMemory = "メモリを確保できませんでした";
inline constexpr std::string_view kReadError = "読込エラー";
inline constexpr std::string_view kCannotCreate = "ファイルを作成できませんでした";

// Source frame checks.
inline constexpr std::string_view kWidthNotMultipleOf4 = "横幅が４の倍数ではありません";
inline constexpr std::string_view kPictureTooLarge =
    "画像の大きさが範囲を超えています。２５６×２１２までにして下さい。";

// The end of a job.
inline constexpr std::string_view kCancelled = "中止しました";
inline constexpr std::string_view kFinished = "終了しました";

}  // namespace velmira::messages
