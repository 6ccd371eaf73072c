// The dialog's texts as a Japanese system stores them, written out byte for
// byte from the code page 932 table, apart from the constants the program uses.
#pragma once

namespace sorvane::saver::expected {

inline constexpr char kMusicCd[] = "\x89\xB9\x8A\x79\x43\x44";                           // 音楽CD
inline constexpr char kRepeatTrack[] = "\x8B\xC8\x96\xDA\x82\xF0\xD8\xCB\xDF\xB0\xC4";  // 曲目をﾘﾋﾟｰﾄ
inline constexpr char kNone[] = "\x96\xB3\x82\xB5";                                      // 無し
inline constexpr char kMp3Wav[] = "\x4D\x50\x33\x81\x41\x57\x41\x56";                   // MP3、WAV
inline constexpr char kOtherWorks[] = "\x82\xBB\x82\xCC\x91\xBC\x82\xCC\x8D\xEC\x95\x69";  // その他の作品
inline constexpr char kSet[] = "\x90\xDD\x92\xE8";                                       // 設定
inline constexpr char kCancel[] = "\xB7\xAC\xDD\xBE\xD9";                                // ｷｬﾝｾﾙ
inline constexpr char kBrowse[] = "\x2E\x2E\x2E";                                        // ...
inline constexpr char kLabelFont[] = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ Ｐゴシック
inline constexpr char kFilterName[] = "\x42\x47\x4D\xCC\xA7\xB2\xD9\x20\x28\x4D\x50\x33\x20\x57\x41\x56\x29";  // BGMﾌｧｲﾙ (MP3 WAV)
inline constexpr char kFileDialogTitle[] = "\xCC\xA7\xB2\xD9\x82\xF0\x8A\x4A\x82\xAD";  // ﾌｧｲﾙを開く
inline constexpr char kCaption[] = "\x3C\x53\x6F\x72\x76\x61\x6E\x65\x3E";              // <Sorvane>

}  // namespace sorvane::saver::expected
