#include "catalogue/profiles.h"

#include "catalogue/categories.h"
#include "catalogue/formats.h"
#include "catalogue/output_name.h"


namespace {

// Key, Fmt, Out, FileExt, VideoCodec, AudioCodec, FrameSize, VideoBitrate,
// FrameRate, AudioBitrate, SampleRate, Channels, Aspect, Tag, Target, Norm,
// DisableVideo.
//
// Deliberate oddities, kept as the product has them: 206 records FileExt
// ".rm" for a ".ra" output, 306 ".asf" for a ".wmv" output, 408 a video bit
// rate of 7680000, and 3200 and 3400 write ".avi" files under ".mp4" titles.
// 409 ("iPod touch MPEG-4 480P高清晰视频") had no row of its own; it takes the
// high-quality 640*480 H.264 profile of its sibling 405, which is also what
// its preset defaults (640*480, 1200 kbps) show.
//
// Today's MPEG program stream muxer takes no AAC, so 307 (".vob"), 308 and
// 1404 (".mpg") encode their audio as MP2, the stream's own audio, instead
// of "libfaac".
constexpr TFormatProfile ProfileTable[] = {
    // 0 "通用音频", code 1
    {200, 0, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {201, 1, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {202, 2, ".wav", ".wav", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {203, 3, ".aac", ".aac", "", "libfaac", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {204, 4, ".m4a", ".m4a", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {205, 5, ".ogg", ".ogg", "", "libvorbis", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {206, 6, ".ra", ".rm", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {207, 7, ".ac3", ".ac3", "", "ac3", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {208, 8, ".aiff", ".aiff", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {209, 9, ".mp2", ".mp2", "", "", "", -1, "", 128000, "44100", "2", "", "", "", "", true},
    {210, 10, ".flac", ".flac", "", "flac", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {211, 11, ".m4a", ".m4a", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {212, 12, ".amr", ".amr", "", "libopencore_amrnb", "", -1, "", 7400, "8000", "1", "", "", "", "", true},
    // 1 "MP3音频", code 29
    {3000, 0, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3001, 1, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3002, 2, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3003, 3, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    // 2 "WAV音频", code 30
    {3100, 0, ".wav", ".wav", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3101, 1, ".wav", ".wav", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3102, 2, ".wav", ".wav", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {3103, 3, ".wav", ".wav", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    // 3 "WMA音频", code 28
    {2900, 0, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {2901, 1, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {2902, 2, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    {2903, 3, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    // 4 "经典视频", code 0
    {100, 0, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {101, 1, ".mp4", ".mp4", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {102, 2, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "DX50", "", "", false},
    {103, 3, ".mov", ".mov", "", "libfaac", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {104, 4, ".avi", ".avi", "libxvid", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {105, 5, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    {106, 6, ".mpg", ".mpg", "mpeg1video", "", "", 528000, "25", 128000, "44100", "2", "", "", "", "", false},
    {107, 7, ".mpg", ".mpg", "mpeg2video", "", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {108, 8, ".asf", ".asf", "msmpeg4", "wmav2", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {109, 9, ".3gp", ".3gp", "mpeg4", "libfaac", "176*144", 128000, "12", 12000, "8000", "1", "4:3", "", "", "", false},
    {110, 10, ".wmv", ".wmv", "wmv2", "wmav2", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {111, 11, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "dvd", "PAL", false},
    {112, 12, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "svcd", "PAL", false},
    {113, 13, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "vcd", "PAL", false},
    {114, 14, ".rm", "", "rv20", "", "320*240", -1, "", -1, "", "", "", "", "", "", false},
    // 5 "AVI视频", code 15
    {1600, 0, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "DX50", "", "", false},
    {1601, 1, ".avi", ".avi", "libx264", "libmp3lame", "1280*720", 1600000, "25", 256000, "48000", "2", "", "", "", "", false},
    {1602, 2, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {1603, 3, ".avi", ".avi", "libxvid", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1604, 4, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "DX50", "", "", false},
    {1605, 5, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {1606, 6, ".avi", ".avi", "libxvid", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    // 6 "MKV视频", code 16
    {1700, 0, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1701, 1, ".mkv", ".mkv", "libx264", "libmp3lame", "1280*720", 1600000, "25", 256000, "48000", "2", "", "", "", "", false},
    {1702, 2, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {1703, 3, ".mkv", ".mkv", "libxvid", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1704, 4, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "DX50", "", "", false},
    {1705, 5, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {1706, 6, ".mkv", ".mkv", "libxvid", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    // 7 "HD视频", code 2
    {300, 0, ".avi", ".avi", "mpeg4", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {301, 1, ".avi", ".avi", "libxvid", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {302, 2, ".mp4", ".mp4", "libx264", "libmp3lame", "1280*720", 1600000, "25", 256000, "48000", "2", "", "", "", "", false},
    {303, 3, ".mp4", ".mp4", "mpeg4", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {304, 4, ".mov", ".mov", "", "libfaac", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {305, 5, ".asf", ".asf", "msmpeg4", "wmav2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {306, 6, ".wmv", ".asf", "wmv2", "wmav2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {307, 7, ".vob", ".vob", "", "mp2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {308, 8, ".mpg", ".mpg", "mpeg2video", "mp2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {309, 9, ".mkv", ".mkv", "mpeg4", "libfaac", "1280*720", 1600000, "25", 192000, "48000", "2", "", "", "", "", false},
    // 8 "iPod视频", code 3
    {400, 0, ".mp4", ".mp4", "libx264", "libfaac", "320*240", 512000, "25", 128000, "48000", "2", "", "", "", "", false},
    {401, 1, ".mp4", ".mp4", "libxvid", "libfaac", "320*240", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {402, 2, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {403, 3, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {404, 4, ".mp4", ".mp4", "mpeg4", "libfaac", "640*480", 600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {405, 5, ".mp4", ".mp4", "libx264", "libfaac", "640*480", 1200000, "25", 128000, "48000", "2", "", "", "", "", false},
    {406, 6, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 512000, "25", 128000, "48000", "2", "", "", "", "", false},
    {407, 7, ".mp4", ".mp4", "mpeg4", "libfaac", "320*240", 600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {408, 8, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 7680000, "25", 128000, "48000", "2", "", "", "", "", false},
    {409, 9, ".mp4", ".mp4", "libx264", "libfaac", "640*480", 1200000, "25", 128000, "48000", "2", "", "", "", "", false},
    {410, 10, ".mp4", ".mp4", "libx264", "libfaac", "640*480", 1200000, "25", 128000, "48000", "2", "", "", "", "", false},
    {411, 11, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 512000, "25", 128000, "48000", "2", "", "", "", "", false},
    {412, 12, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 1200000, "25", 128000, "48000", "2", "16:9", "", "", "", false},
    {413, 13, ".mp4", ".mp4", "libxvid", "libfaac", "320*240", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    // 9 "iPhone视频", code 4
    {500, 0, ".mp4", ".mp4", "mpeg4", "libfaac", "480*320", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {501, 1, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {502, 2, ".mp4", ".mp4", "mpeg4", "libfaac", "1280*720", 1200000, "29.97", 128000, "48000", "2", "16:9", "", "", "", false},
    {503, 3, ".mp4", ".mp4", "libx264", "libfaac", "1280*720", 1800000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {504, 4, ".mp4", ".mp4", "libx264", "libfaac", "1920*1080", 2000000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {505, 5, ".mp4", ".mp4", "mpeg4", "libfaac", "720*406", 768000, "25", 128000, "48000", "2", "16:9", "", "", "", false},
    {506, 6, ".mp4", ".mp4", "libx264", "libfaac", "720*406", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {507, 7, ".mp4", ".mp4", "mpeg4", "libfaac", "320*240", 768000, "25", 128000, "44100", "2", "", "", "", "", false},
    {508, 8, ".mp4", ".mp4", "mpeg4", "libfaac", "480*320", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {509, 9, ".mov", ".mov", "", "libfaac", "", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {510, 10, ".mov", ".mov", "", "libfaac", "1280*720", 1000000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {511, 11, ".avi", ".avi", "libxvid", "libmp3lame", "", 816000, "25", 128000, "48000", "2", "", "", "", "", false},
    {512, 12, ".avi", ".avi", "mpeg4", "libmp3lame", "1280*720", 1200000, "29.97", 128000, "44100", "2", "", "DX50", "", "", false},
    {513, 13, ".avi", ".avi", "msmpeg4", "libmp3lame", "1280*720", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {514, 14, ".wmv", ".wmv", "wmv2", "wmav2", "1280*720", 1600000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    // 10 "iPad视频", code 12
    {1300, 0, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "30", 128000, "32000", "2", "", "", "", "", false},
    {1301, 1, ".mp4", ".mp4", "libx264", "libfaac", "720*480", 1200000, "30", 128000, "44100", "2", "", "", "", "", false},
    {1302, 2, ".mp4", ".mp4", "libxvid", "libfaac", "", 1000000, "30", 128000, "32000", "2", "", "", "", "", false},
    {1303, 3, ".mp4", ".mp4", "libx264", "libfaac", "1280*720", 1500000, "30", 160000, "48000", "2", "", "", "", "", false},
    {1304, 4, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1000000, "30", 128000, "24000", "2", "", "", "", "", false},
    {1305, 5, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "29.97", 128000, "44100", "2", "", "", "", "", false},
    {1306, 6, ".mp4", ".mp4", "libx264", "libfaac", "1920*1080", 1500000, "30", 160000, "48000", "2", "", "", "", "", false},
    {1307, 7, ".mov", ".mov", "", "libfaac", "", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {1308, 8, ".mov", ".mov", "", "libfaac", "1280*720", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {1309, 9, ".avi", ".avi", "libxvid", "libmp3lame", "", 816000, "25", 128000, "48000", "2", "", "", "", "", false},
    {1310, 10, ".avi", ".avi", "mpeg4", "libfaac", "1280*720", 1200000, "29.97", 128000, "44100", "2", "", "DX50", "", "", false},
    // 11 "Flash视频", code 11
    {1200, 0, ".flv", ".flv", "", "libmp3lame", "", 1200000, "25", 128000, "22050", "2", "", "", "", "", false},
    {1201, 1, ".swf", ".swf", "", "libmp3lame", "", 528000, "25", 128000, "22050", "2", "", "", "", "", false},
    {1202, 2, ".flv", "", "", "libmp3lame", "", -1, "", 128000, "22050", "2", "", "", "", "", true},
    {1203, 3, ".swf", "", "", "libmp3lame", "", -1, "", 128000, "22050", "2", "", "", "", "", true},
    // 12 "MP4视频", code 10
    {1100, 0, ".mp4", ".mp4", "mpeg4", "libmp3lame", "320*240", 528000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1101, 1, ".mp4", ".mp4", "mpeg4", "libmp3lame", "", 768000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1102, 2, ".mp4", ".mp4", "libx264", "libmp3lame", "", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1103, 3, ".mp4", ".mp4", "libx264", "libfaac", "320*240", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1104, 4, ".mp4", ".mp4", "libx264", "libmp3lame", "", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    // 13 "MPG视频", code 13
    {1400, 0, ".mpg", ".mpg", "mpeg1video", "", "", 528000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1401, 1, ".mpg", ".mpg", "mpeg1video", "", "", 528000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1402, 2, ".mpg", ".mpg", "mpeg2video", "", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1403, 3, ".mp4", ".mp4", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1404, 4, ".mpg", ".mpg", "mpeg2video", "mp2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {1405, 5, ".mp4", ".mp4", "mpeg4", "libmp3lame", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
    {1406, 6, ".mpg", ".mpg", "mpeg2video", "", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1407, 7, ".mpg", ".mpg", "mpeg2video", "", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {1408, 8, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "dvd", "PAL", false},
    {1409, 9, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "svcd", "PAL", false},
    {1410, 10, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "vcd", "PAL", false},
    // 14 "智能手机", code 31
    {3200, 0, ".avi", ".avi", "libx264", "libmp3lame", "", 1000000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3201, 1, ".mp4", ".mp4", "mpeg4", "libmp3lame", "", 768000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3202, 2, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3203, 3, ".mp4", ".mp4", "libx264", "libfaac", "800*600", 1500000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3204, 4, ".avi", ".avi", "mpeg4", "libmp3lame", "1024*768", 1200000, "30", 128000, "44100", "2", "", "", "", "", false},
    {3205, 5, ".avi", ".avi", "mpeg4", "libmp3lame", "", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3206, 6, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
    {3207, 7, ".mov", ".mov", "", "libfaac", "", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3208, 8, ".flv", ".flv", "", "libmp3lame", "1280*720", 816000, "25", 128000, "22050", "2", "", "", "", "", false},
    {3209, 9, ".3gp", ".3gp", "h263", "libfaac", "176*144", 128000, "12", 48000, "32000", "2", "", "", "", "", false},
    {3210, 10, ".wmv", ".wmv", "wmv2", "wmav2", "", 600000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3211, 11, ".asf", ".asf", "msmpeg4", "wmav2", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3212, 12, ".mpg", ".mpg", "mpeg2video", "", "640*480", 600000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3213, 13, ".mpg", ".mpg", "mpeg2video", "", "800*600", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3214, 14, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 768000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3215, 15, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
    // 15 "平板电脑", code 32
    {3300, 0, ".avi", ".avi", "libx264", "libmp3lame", "1280*720", 1600000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3301, 1, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3302, 2, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "", 128000, "48000", "2", "16:9", "", "", "", false},
    {3303, 3, ".mp4", ".mp4", "mpeg4", "libfaac", "800*600", 1000000, "30", 128000, "48000", "2", "", "", "", "", false},
    {3304, 4, ".mp4", ".mp4", "libxvid", "libfaac", "1024*768", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3305, 5, ".mp4", ".mp4", "libx264", "libfaac", "1280*720", 1500000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3306, 6, ".mpg", ".mpg", "mpeg2video", "", "640*480", 600000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3307, 7, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "29.97", 128000, "48000", "2", "16:9", "", "", "", false},
    {3308, 8, ".mkv", ".mkv", "libxvid", "libmp3lame", "", 1000000, "29.97", 128000, "44100", "2", "", "", "", "", false},
    {3309, 9, ".mov", ".mov", "", "libfaac", "", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3310, 10, ".flv", ".flv", "", "libmp3lame", "", 816000, "25", 128000, "22050", "2", "", "", "", "", false},
    {3311, 11, ".wmv", ".wmv", "wmv2", "wmav2", "", 1200000, "29.97", 128000, "44100", "2", "", "", "", "", false},
    {3312, 12, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "44100", "2", "", "", "", "", true},
    // 16 "智能电视", code 33
    {3400, 0, ".avi", ".avi", "libx264", "libmp3lame", "", 1500000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3401, 1, ".mp4", ".mp4", "mpeg4", "libfaac", "3840*2160", 1200000, "30", 128000, "48000", "2", "", "", "", "", false},
    {3402, 2, ".mp4", ".mp4", "libxvid", "libfaac", "1920*1080", 1500000, "25", 128000, "48000", "2", "", "", "", "", false},
    {3403, 3, ".mp4", ".mp4", "libx264", "libfaac", "1280*720", 1800000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3404, 4, ".avi", ".avi", "mpeg4", "libmp3lame", "1280*720", 1600000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3405, 5, ".avi", ".avi", "libxvid", "libmp3lame", "3840*2160", 2500000, "", 128000, "44100", "2", "", "", "", "", false},
    {3406, 6, ".mkv", ".mkv", "mpeg4", "libmp3lame", "1280*720", 1200000, "29.97", 128000, "44100", "2", "", "XVID", "", "", false},
    {3407, 7, ".mov", ".mov", "", "libfaac", "", 1200000, "29.97", 128000, "48000", "2", "", "", "", "", false},
    {3408, 8, ".flv", ".flv", "", "libmp3lame", "", 816000, "25", 128000, "22050", "2", "", "", "", "", false},
    {3409, 9, ".wmv", ".wmv", "wmv2", "wmav2", "", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3410, 10, ".mpg", ".mpg", "mpeg2video", "", "", 1200000, "25", 128000, "44100", "2", "", "", "", "", false},
    {3411, 11, ".mp4", ".mp4", "libx264", "libfaac", "1920*1080", 2000000, "29.97", 128000, "48000", "2", "", "", "", "", false},
};

} // namespace

std::span<const TFormatProfile> Profiles() { return ProfileTable; }

const TFormatProfile *FindProfile(int32_t AKey) {
  for (const TFormatProfile &p : ProfileTable)
    if (p.Key == AKey)
      return &p;
  return nullptr;
}

void ResetProfile(TCurrentProfile &AProfile) {
  TCurrentProfile reset;
  reset.Video_AddFileName = std::move(AProfile.Video_AddFileName);
  reset.All_Trant_Number = AProfile.All_Trant_Number;
  reset.CategoryCode = AProfile.CategoryCode;
  reset.RowCategoryNumber = AProfile.RowCategoryNumber;
  AProfile = std::move(reset);
}

void SetSelection(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex) {
  FormatAt(ACategoryIndex, AFormatIndex); // raises for positions outside the lists
  AProfile.CategoryCode = CategoryCodeOf(ACategoryIndex);
  AProfile.All_Trant_Number = FormatKey(AProfile.CategoryCode, AFormatIndex);
  AProfile.RowCategoryNumber = RowCategoryNumber(ACategoryIndex, AFormatIndex);
}

void ApplyFormatProfile(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex,
                        const std::string &AOutputFolder, bool AOverwrite) {
  ResetProfile(AProfile);
  SetSelection(AProfile, ACategoryIndex, AFormatIndex);
  AProfile.Video_DisableVideo = false;
  if (const TFormatProfile *row = FindProfile(AProfile.All_Trant_Number)) {
    AProfile.Video_OutPutFileName = ProposedOutputName(AOutputFolder, AProfile.Video_AddFileName, row->OutExt);
    AProfile.Video_FileExt = row->FileExt;
    AProfile.Video_VideoCodec = row->VideoCodec;
    AProfile.Video_AudioCodec = row->AudioCodec;
    AProfile.Video_FrameSize = row->FrameSize;
    AProfile.Video_VideoBitrate = row->VideoBitrate;
    AProfile.Video_FrameRate = row->FrameRate;
    AProfile.Video_AudioBitrate = row->AudioBitrate;
    AProfile.Video_AudioSampleRate = row->AudioSampleRate;
    AProfile.Video_AudioChannels = row->AudioChannels;
    AProfile.Video_FrameAspectRatio = row->FrameAspectRatio;
    AProfile.Video_VideoTag = row->VideoTag;
    AProfile.Video_TargetType = row->TargetType;
    AProfile.Video_NormType = row->NormType;
    AProfile.Video_DisableVideo = row->DisableVideo;
  }
  AProfile.Video_OutPutFileName = UniqueOutputName(AOutputFolder, AProfile.Video_OutPutFileName, AOverwrite);
}

std::array<TRowColumn, 14> ProfileRowColumns(const TCurrentProfile &AProfile) {
  const TCurrentProfile &p = AProfile;
  return {{
      {11, "视频编码", p.Video_VideoCodec},
      {12, "音频编码", p.Video_AudioCodec},
      {13, "声音频道", p.Video_AudioChannels},
      {14, "VideoTag", p.Video_VideoTag},
      {15, "FileExt", p.Video_FileExt},
      {16, "视频分辨率", p.Video_FrameSize},
      {17, "视频比特率", std::to_string(p.Video_VideoBitrate)},
      {18, "视频帧率", p.Video_FrameRate},
      {19, "音频比特率", std::to_string(p.Video_AudioBitrate)},
      {20, "音频采样率", p.Video_AudioSampleRate},
      {21, "视频缩放", p.Video_FrameAspectRatio},
      {22, "视频能否", p.Video_DisableVideo ? "True" : "False"},
      {23, "TargetType", p.Video_TargetType},
      {24, "NormType", p.Video_NormType},
  }};
}
