#include "catalogue/presets.h"

#include "catalogue/formats.h"
#include "platform/convert.h"
#include "platform/exceptions.h"

namespace {

// The value lists, named as the product's tables name them. R16 really shows
// "1920*1200" twice.
constexpr const char *R1[] = {"该格式无视频"};
constexpr const char *R2[] = {
    "保持原分辨率", "128*96", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480",
    "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480",
    "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1440",
    "2048*1536", "2560*1600"
};
constexpr const char *R3[] = {
    "112*96", "128*96", "160*112", "160*120", "176*144", "192*144", "208*176", "220*176", "320*208",
    "320*224", "320*240"
};
constexpr const char *R4[] = {
    "保持原分辨率", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200",
    "1920*1440", "2048*1536", "2560*1600"
};
constexpr const char *R5[] = {"128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "640*480"};
constexpr const char *R6[] = {
    "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368", "512*384",
    "640*272", "640*353", "640*480"
};
constexpr const char *R7[] = {
    "保持原分辨率", "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368",
    "512*384", "640*272", "640*353", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600",
    "852*480", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080"
};
constexpr const char *R8[] = {
    "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368", "512*384",
    "640*272", "640*353", "640*480", "720*406"
};
constexpr const char *R9[] = {
    "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368", "512*384",
    "640*272", "640*353", "640*480", "720*406", "704*480", "704*576", "720*480", "720*576", "800*600",
    "852*480", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080"
};
constexpr const char *R10[] = {
    "保持原分辨率", "128*96", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480",
    "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480",
    "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "2048*1536",
    "2560*1600"
};
constexpr const char *R11[] = {
    "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*272", "640*480", "704*576",
    "1280*720", "1440*1080", "1920*1080"
};
constexpr const char *R12[] = {
    "保持原分辨率", "640*480", "720*480", "720*576", "960*540", "1024*768", "1280*720", "1280*1024", "1600*1024",
    "1600*1200", "1920*1080", "1920*1200", "2048*1536", "2560*1600"
};
constexpr const char *R13[] = {
    "保持原分辨率", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480", "1024*768",
    "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "2048*1536", "2560*1600"
};
constexpr const char *R14[] = {
    "保持原分辨率", "128*96", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480",
    "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480",
    "1024*768"
};
constexpr const char *R15[] = {
    "保持原分辨率", "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368",
    "512*384", "640*272", "640*353", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600",
    "852*480", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "2048*1536",
    "2560*1600"
};
constexpr const char *R16[] = {
    "保持原分辨率", "128*96", "176*144", "240*176", "320*240", "352*240", "352*288", "384*288", "480*480",
    "480*576", "640*368", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480",
    "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "1920*1200",
    "2048*1536", "2560*1600"
};
constexpr const char *R17[] = {
    "640*480", "704*576", "720*480", "720*576", "800*600", "852*480", "1024*768", "1280*720", "1280*1024",
    "1600*1024", "1600*1200", "1920*1080", "1920*1200", "2048*1536", "2560*1600"
};
constexpr const char *R18[] = {
    "保持原分辨率", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600", "852*480", "1024*768",
    "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200", "2048*1536", "2560*1600",
    "3840*2160"
};
constexpr const char *R19[] = {
    "保持原分辨率", "128*96", "176*144", "160*120", "320*240", "352*288", "368*208", "480*320", "480*368",
    "512*384", "640*272", "640*353", "640*480", "704*480", "704*576", "720*480", "720*576", "800*600",
    "852*480", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "2048*1536",
    "2560*1600", "3840*2160"
};
constexpr const char *R20[] = {
    "保持原分辨率", "1024*768", "1280*720", "1280*1024", "1600*1024", "1600*1200", "1920*1080", "1920*1200",
    "2048*1536", "2560*1600"
};

constexpr const char *V1[] = {"无视频"};
constexpr const char *V2[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps", "2000 kbps"
};
constexpr const char *V3[] = {
    "128 kbps", "288 kbps", "528 kbps", "768 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps"
};
constexpr const char *V4[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps"
};
constexpr const char *V5[] = {
    "8 kbps", "16 kbps", "24 kbps", "32 kbps", "48 kbps", "56 kbps", "64 kbps", "80 kbps", "96 kbps",
    "128 kbps", "160 kbps", "192 kbps", "256 kbps", "320 kbps", "384 kbps"
};
constexpr const char *V6[] = {
    "128 kbps", "288 kbps", "528 kbps", "600 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps"
};
constexpr const char *V7[] = {
    "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps", "2000 kbps", "2500 kbps", "3000 kbps", "4000 kbps"
};
constexpr const char *V8[] = {
    "192 kbps", "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps",
    "2000 kbps"
};
constexpr const char *V9[] = {
    "192 kbps", "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps"
};
constexpr const char *V10[] = {
    "128 kbps", "288 kbps", "528 kbps", "768 kbps", "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps",
    "1800 kbps", "2000 kbps", "2500 kbps", "3000 kbps"
};
constexpr const char *V11[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps", "4000 kbps"
};
constexpr const char *V12[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps", "3500 kbps"
};
constexpr const char *V13[] = {
    "192 kbps", "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps", "4000 kbps"
};
constexpr const char *V14[] = {
    "192 kbps", "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps", "3500 kbps"
};
constexpr const char *V15[] = {
    "128 kbps", "288 kbps", "528 kbps", "768 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps", "3500 kbps"
};
constexpr const char *V16[] = {
    "128 kbps", "288 kbps", "528 kbps", "768 kbps", "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps",
    "1800 kbps", "2000 kbps", "2500 kbps", "3000 kbps", "3500 kbps"
};
constexpr const char *V17[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps", "2000 kbps",
    "2500 kbps"
};
constexpr const char *V18[] = {
    "128 kbps", "288 kbps", "528 kbps", "600 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps"
};
constexpr const char *V19[] = {
    "128 kbps", "288 kbps", "528 kbps", "600 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps"
};
constexpr const char *V20[] = {
    "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps", "2000 kbps",
    "2500 kbps", "3000 kbps", "3500 kbps"
};
constexpr const char *V21[] = {
    "192 kbps", "384 kbps", "600 kbps", "768 kbps", "1000 kbps", "1200 kbps", "1500 kbps", "1800 kbps",
    "2000 kbps", "3000 kbps", "4000 kbps"
};
constexpr const char *V22[] = {
    "816 kbps", "1000 kbps", "1200 kbps", "1600 kbps", "1800 kbps", "2000 kbps", "2500 kbps", "3000 kbps",
    "4000 kbps"
};
constexpr const char *V23[] = {
    "128 kbps", "288 kbps", "528 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps", "2000 kbps",
    "2500 kbps", "3000 kbps"
};
constexpr const char *V24[] = {
    "128 kbps", "288 kbps", "528 kbps", "768 kbps", "816 kbps", "1200 kbps", "1600 kbps", "1800 kbps",
    "2000 kbps", "2500 kbps", "3000 kbps"
};

// The video CD standard has one bit rate, which its target also sets as the
// encoder's minimum and maximum: a list value below or above it makes the
// encoder refuse, so the VCD formats (113, 1410) offer only this one.
constexpr const char *V25[] = {"1150 kbps"};
constexpr const char *F1[] = {"无视频"};
constexpr const char *F2[] = {
    "保持原帧速率", "10.00", "13.00", "15.00", "18.00", "20.00", "23.00", "23.97", "24.00", "25.00", "29.97",
    "30.00"
};
constexpr const char *F3[] = {"1", "2", "3", "5", "10", "12", "15"};
constexpr const char *F4[] = {"保持原帧速率", "25.00", "29.97", "30.00"};
constexpr const char *F5[] = {
    "保持原帧速率", "10.00", "12.00", "15.00", "20.00", "23.98", "24.00", "25.00", "29.97", "30.00"
};
constexpr const char *F6[] = {"保持原帧速率", "23.98", "24.00", "25.00", "29.97", "30.00"};

constexpr const char *A1[] = {
    "16 kbps", "24 kbps", "32 kbps", "40 kbps", "48 kbps", "56 kbps", "64 kbps", "80 kbps", "96 kbps",
    "112 kbps", "128 kbps", "144 kbps", "160 kbps", "192 kbps", "224 kbps", "256 kbps", "320 kbps"
};
constexpr const char *A2[] = {
    "4.75 kbps", "5.15 kbps", "5.9 kbps", "6.7 kbps", "7.4 kbps", "7.95 kbps", "10.2 kbps", "12.2 kbps"
};
constexpr const char *A3[] = {"5 kbps", "6 kbps", "7 kbps", "8 kbps", "10 kbps", "12 kbps"};
constexpr const char *A4[] = {"64 kbps", "96 kbps", "128 kbps", "160 kbps", "192 kbps"};
constexpr const char *A5[] = {
    "48 kbps", "56 kbps", "64 kbps", "80 kbps", "96 kbps", "112 kbps", "116 kbps", "128 kbps"
};

constexpr const char *S1[] = {"11025", "16000", "22050", "32000", "44100", "48000"};
constexpr const char *S2[] = {"8000"};
constexpr const char *S3[] = {"22050", "32000", "44100", "48000"};
constexpr const char *S4[] = {"22050", "24000", "32000", "44100", "48000"};
constexpr const char *S5[] = {"11025", "22050", "44100"};
constexpr const char *S6[] = {"8000", "11025", "16000", "22050", "32000", "44100", "48000"};

constexpr const char *Z1[] = {"无视频"};
constexpr const char *Z2[] = {"保持原视频模式", "普通视频4:3模式", "宽屏视频16:9模式", "宽屏视频37:20模式", "宽屏视频47:20模式"};
constexpr const char *Z3[] = {"保持原视频模式", "普通视频4:3模式"};

constexpr TPresetValues ResolutionLists[] = {R1,  R2,  R3,  R4,  R5,  R6,  R7,  R8,  R9,  R10,
                                             R11, R12, R13, R14, R15, R16, R17, R18, R19, R20};
constexpr TPresetValues VideoBitrateLists[] = {V1,  V2,  V3,  V4,  V5,  V6,  V7,  V8,  V9,  V10, V11, V12,
                                               V13, V14, V15, V16, V17, V18, V19, V20, V21, V22, V23, V24, V25};
constexpr TPresetValues FrameRateLists[] = {F1, F2, F3, F4, F5, F6};
constexpr TPresetValues AudioBitrateLists[] = {A1, A2, A3, A4, A5};
constexpr TPresetValues SampleRateLists[] = {S1, S2, S3, S4, S5, S6};
constexpr TPresetValues ScalingLists[] = {Z1, Z2, Z3};

// Key, then list number / default index of resolution, video bit rate, frame
// rate, audio bit rate, sample rate and scaling.
constexpr TPresetAssignment AssignmentTable[] = {
    // 0 "通用音频"
    {200, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {201, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {202, {1, 0}, {1, 0}, {1, 0}, {1, 13}, {1, 5}, {1, 0}},
    {203, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 5}, {1, 0}},
    {204, {1, 0}, {1, 0}, {1, 0}, {1, 9}, {1, 4}, {1, 0}},
    {205, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {206, {1, 0}, {1, 0}, {1, 0}, {1, 9}, {1, 4}, {1, 0}},
    {207, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {208, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {209, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {210, {1, 0}, {1, 0}, {1, 0}, {1, 13}, {1, 5}, {1, 0}},
    {211, {1, 0}, {1, 0}, {1, 0}, {1, 12}, {1, 5}, {1, 0}},
    {212, {1, 0}, {1, 0}, {1, 0}, {2, 4}, {2, 0}, {1, 0}},
    // 1 "MP3音频"
    {3000, {1, 0}, {1, 0}, {1, 0}, {1, 13}, {1, 5}, {1, 0}},
    {3001, {1, 0}, {1, 0}, {1, 0}, {1, 8}, {1, 2}, {1, 0}},
    {3002, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    {3003, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    // 2 "WAV音频"
    {3100, {1, 0}, {1, 0}, {1, 0}, {1, 13}, {1, 5}, {1, 0}},
    {3101, {1, 0}, {1, 0}, {1, 0}, {1, 8}, {1, 2}, {1, 0}},
    {3102, {1, 0}, {1, 0}, {1, 0}, {1, 11}, {1, 4}, {1, 0}},
    {3103, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    // 3 "WMA音频"
    {2900, {1, 0}, {1, 0}, {1, 0}, {1, 14}, {1, 5}, {1, 0}},
    {2901, {1, 0}, {1, 0}, {1, 0}, {1, 9}, {1, 2}, {1, 0}},
    {2902, {1, 0}, {1, 0}, {1, 0}, {1, 9}, {1, 3}, {1, 0}},
    {2903, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    // 4 "经典视频"
    {100, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {101, {2, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {102, {2, 0}, {4, 4}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {103, {2, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 5}, {2, 0}},
    {104, {2, 0}, {4, 4}, {2, 0}, {1, 10}, {1, 4}, {2, 0}},
    {105, {2, 0}, {2, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {106, {2, 4}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {107, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {108, {2, 0}, {2, 3}, {2, 0}, {1, 10}, {1, 5}, {2, 0}},
    {109, {3, 4}, {5, 9}, {3, 5}, {3, 5}, {2, 0}, {3, 0}},
    {110, {2, 0}, {6, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {111, {2, 12}, {2, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {112, {2, 8}, {2, 2}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {113, {2, 4}, {25, 0}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {114, {2, 4}, {2, 2}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    // 5 "AVI视频"
    {1600, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1601, {2, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {1602, {2, 4}, {2, 2}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1603, {2, 0}, {4, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {1604, {2, 4}, {6, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1605, {2, 0}, {2, 2}, {2, 5}, {1, 8}, {1, 3}, {2, 0}},
    {1606, {2, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    // 6 "MKV视频"
    {1700, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1701, {2, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {1702, {2, 4}, {2, 2}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1703, {2, 0}, {4, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {1704, {2, 4}, {6, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1705, {2, 0}, {2, 2}, {2, 5}, {1, 8}, {1, 3}, {2, 0}},
    {1706, {2, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    // 7 "HD视频"
    {300, {4, 2}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {301, {4, 2}, {7, 1}, {4, 3}, {1, 10}, {1, 5}, {2, 0}},
    {302, {4, 2}, {7, 1}, {4, 2}, {1, 13}, {1, 5}, {2, 0}},
    {303, {4, 3}, {7, 2}, {4, 3}, {1, 13}, {1, 5}, {2, 0}},
    {304, {4, 3}, {7, 2}, {4, 2}, {1, 12}, {1, 5}, {2, 0}},
    {305, {4, 3}, {7, 1}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {306, {4, 3}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {307, {4, 2}, {7, 1}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {308, {4, 3}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {309, {4, 3}, {7, 2}, {4, 3}, {1, 10}, {1, 5}, {2, 0}},
    // 8 "iPod视频"
    {400, {5, 3}, {8, 4}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {401, {5, 3}, {8, 2}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {402, {5, 3}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {403, {5, 6}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {404, {5, 6}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {405, {5, 6}, {8, 5}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {406, {5, 6}, {8, 2}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {407, {6, 6}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {408, {6, 11}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {409, {6, 11}, {8, 5}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {410, {6, 11}, {8, 2}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {411, {6, 9}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 2}},
    {412, {6, 3}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {413, {6, 6}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    // 9 "iPhone视频"
    {500, {7, 7}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {501, {7, 12}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {502, {7, 20}, {9, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 2}},
    {503, {7, 20}, {9, 7}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {504, {7, 24}, {9, 8}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {505, {8, 12}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 2}},
    {506, {9, 12}, {9, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {507, {8, 3}, {8, 3}, {5, 7}, {4, 2}, {3, 2}, {2, 0}},
    {508, {8, 6}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {509, {10, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 5}, {2, 0}},
    {510, {10, 19}, {10, 5}, {2, 10}, {1, 10}, {1, 5}, {2, 0}},
    {511, {10, 0}, {11, 3}, {4, 1}, {1, 10}, {1, 5}, {2, 0}},
    {512, {10, 19}, {12, 5}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {513, {11, 9}, {13, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {514, {10, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    // 10 "iPad视频"
    {1300, {12, 0}, {14, 5}, {6, 5}, {4, 2}, {4, 2}, {2, 0}},
    {1301, {12, 2}, {14, 5}, {6, 5}, {4, 2}, {4, 3}, {2, 0}},
    {1302, {12, 0}, {14, 4}, {6, 5}, {4, 2}, {4, 2}, {2, 0}},
    {1303, {12, 6}, {14, 6}, {6, 5}, {4, 3}, {4, 4}, {2, 0}},
    {1304, {12, 0}, {14, 4}, {6, 5}, {4, 2}, {4, 1}, {2, 0}},
    {1305, {12, 0}, {14, 5}, {6, 4}, {4, 2}, {4, 3}, {2, 0}},
    {1306, {12, 10}, {14, 6}, {6, 5}, {4, 3}, {4, 4}, {2, 0}},
    {1307, {13, 0}, {15, 3}, {2, 9}, {1, 10}, {1, 5}, {2, 0}},
    {1308, {13, 9}, {16, 6}, {2, 10}, {1, 10}, {1, 5}, {2, 0}},
    {1309, {13, 0}, {11, 3}, {4, 1}, {1, 10}, {1, 5}, {2, 0}},
    {1310, {13, 9}, {12, 5}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    // 11 "Flash视频"
    {1200, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {5, 1}, {2, 0}},
    {1201, {2, 0}, {2, 3}, {2, 9}, {1, 10}, {5, 1}, {2, 0}},
    {1202, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {5, 1}, {1, 0}},
    {1203, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {5, 1}, {1, 0}},
    // 12 "MP4视频"
    {1100, {14, 4}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1101, {2, 0}, {2, 4}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1102, {2, 0}, {2, 4}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1103, {2, 0}, {2, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {1104, {2, 0}, {2, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    // 13 "MPG视频"
    {1400, {2, 0}, {4, 4}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1401, {2, 4}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1402, {2, 0}, {4, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1403, {2, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1404, {4, 3}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {1405, {4, 3}, {7, 2}, {4, 3}, {1, 13}, {1, 5}, {2, 0}},
    {1406, {2, 11}, {6, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1407, {2, 4}, {2, 2}, {2, 9}, {1, 8}, {1, 3}, {2, 0}},
    {1408, {2, 12}, {2, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {1409, {2, 8}, {2, 2}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {1410, {2, 4}, {25, 0}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    // 14 "智能手机"
    {3200, {15, 0}, {9, 4}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {3201, {10, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3202, {7, 12}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {3203, {7, 17}, {9, 6}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {3204, {10, 18}, {17, 4}, {2, 11}, {1, 10}, {1, 4}, {2, 0}},
    {3205, {10, 0}, {7, 1}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {3206, {10, 0}, {2, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3207, {10, 0}, {3, 3}, {2, 9}, {1, 10}, {1, 5}, {2, 0}},
    {3208, {16, 0}, {2, 3}, {2, 9}, {1, 10}, {5, 1}, {2, 0}},
    {3209, {3, 4}, {5, 9}, {3, 5}, {5, 0}, {6, 4}, {2, 0}},
    {3210, {10, 0}, {6, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3211, {2, 0}, {2, 3}, {2, 0}, {1, 10}, {1, 5}, {2, 0}},
    {3212, {10, 11}, {18, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3213, {10, 16}, {18, 4}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3214, {7, 12}, {8, 3}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {3215, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    // 15 "平板电脑"
    {3300, {10, 19}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {3301, {10, 0}, {7, 0}, {4, 1}, {1, 10}, {1, 5}, {2, 0}},
    {3302, {7, 0}, {9, 5}, {5, 0}, {4, 2}, {3, 3}, {2, 2}},
    {3303, {17, 4}, {8, 4}, {5, 9}, {4, 2}, {3, 3}, {2, 0}},
    {3304, {7, 19}, {9, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {3305, {7, 20}, {9, 6}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {3306, {10, 11}, {18, 3}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3307, {7, 0}, {9, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 2}},
    {3308, {10, 0}, {4, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {3309, {10, 0}, {3, 5}, {2, 10}, {1, 10}, {1, 5}, {2, 0}},
    {3310, {16, 0}, {2, 3}, {2, 9}, {1, 10}, {5, 1}, {2, 0}},
    {3311, {10, 0}, {19, 5}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {3312, {1, 0}, {1, 0}, {1, 0}, {1, 10}, {1, 4}, {1, 0}},
    // 16 "智能电视"
    {3400, {18, 0}, {20, 5}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {3401, {18, 17}, {21, 5}, {5, 9}, {4, 2}, {3, 3}, {2, 0}},
    {3402, {19, 24}, {9, 6}, {5, 7}, {4, 2}, {3, 3}, {2, 0}},
    {3403, {19, 20}, {9, 7}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
    {3404, {20, 2}, {7, 2}, {4, 2}, {1, 10}, {1, 5}, {2, 0}},
    {3405, {18, 17}, {22, 6}, {2, 0}, {1, 10}, {1, 4}, {2, 0}},
    {3406, {18, 9}, {23, 4}, {2, 10}, {1, 10}, {1, 4}, {2, 0}},
    {3407, {10, 0}, {24, 5}, {2, 10}, {1, 10}, {1, 5}, {2, 0}},
    {3408, {16, 0}, {2, 3}, {2, 9}, {1, 10}, {5, 1}, {2, 0}},
    {3409, {10, 0}, {19, 5}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3410, {10, 0}, {18, 5}, {2, 9}, {1, 10}, {1, 4}, {2, 0}},
    {3411, {7, 24}, {9, 8}, {5, 8}, {4, 2}, {3, 3}, {2, 0}},
};

constexpr TPresetKindInfo KindInfo[] = {
    {"bsSkinComboBox1", "视频分辨率：", "视频分辨率", 16},  {"bsSkinComboBox2", "视频比特率：", "视频比特率", 17},
    {"bsSkinComboBox3", "音频比特率：", "音频比特率", 19},  {"bsSkinComboBox4", "视频缩放：", "视频缩放", 21},
    {"bsSkinComboBox9", "视频帧率：", "视频帧率", 18},      {"bsSkinComboBox10", "音频采样率：", "音频采样率", 20},
};

constexpr const char *NoVideo = "无视频";

// The number in "816 kbps": the text before "kbps", blanks trimmed.
std::string KbpsNumber(const std::string &AShown) { return Trim(AShown.substr(0, AShown.find("kbps"))); }

} // namespace

const TPresetKindInfo &PresetKindInfo(TPresetKind AKind) { return KindInfo[AKind]; }

std::span<const TPresetValues> PresetValueLists(TPresetKind AKind) {
  switch (AKind) {
  case pkResolution:
    return ResolutionLists;
  case pkVideoBitrate:
    return VideoBitrateLists;
  case pkAudioBitrate:
    return AudioBitrateLists;
  case pkScaling:
    return ScalingLists;
  case pkFrameRate:
    return FrameRateLists;
  case pkSampleRate:
    return SampleRateLists;
  }
  throw EAssertionFailed(Format("Unknown preset kind %d", static_cast<int>(AKind)));
}

TPresetChoice TPresetAssignment::Of(TPresetKind AKind) const {
  switch (AKind) {
  case pkResolution:
    return Resolution;
  case pkVideoBitrate:
    return VideoBitrate;
  case pkAudioBitrate:
    return AudioBitrate;
  case pkScaling:
    return Scaling;
  case pkFrameRate:
    return FrameRate;
  case pkSampleRate:
    return SampleRate;
  }
  throw EAssertionFailed(Format("Unknown preset kind %d", static_cast<int>(AKind)));
}

// List 1 of each video kind is the single "no video" entry.
bool TPresetAssignment::AudioOnly() const {
  return Resolution.List == 1 && VideoBitrate.List == 1 && FrameRate.List == 1 && Scaling.List == 1;
}

std::span<const TPresetAssignment> PresetAssignments() { return AssignmentTable; }

const TPresetAssignment *FindPresetAssignment(int32_t AKey) {
  for (const TPresetAssignment &a : AssignmentTable)
    if (a.Key == AKey)
      return &a;
  return nullptr;
}

std::string TPresetList::ShownText() const {
  return ItemIndex >= 0 && ItemIndex < static_cast<int32_t>(Entries.size()) ? Entries[ItemIndex] : "";
}

std::array<std::string, PresetKindCount> TPresetLists::ShownTexts() const {
  std::array<std::string, PresetKindCount> texts;
  for (int32_t k = 0; k < PresetKindCount; ++k)
    texts[k] = Lists[k].ShownText();
  return texts;
}

std::array<int32_t, PresetKindCount> TPresetLists::ItemIndexes() const {
  std::array<int32_t, PresetKindCount> indexes;
  for (int32_t k = 0; k < PresetKindCount; ++k)
    indexes[k] = Lists[k].ItemIndex;
  return indexes;
}

TPresetLists PresetListsOf(int32_t AKey) {
  const TPresetAssignment *row = FindPresetAssignment(AKey);
  if (!row)
    throw Exception(Format("No preset lists for format key %d", AKey));
  TPresetLists lists;
  for (int32_t k = 0; k < PresetKindCount; ++k) {
    const auto kind = static_cast<TPresetKind>(k);
    const TPresetChoice choice = row->Of(kind);
    lists[kind].Entries = PresetValueLists(kind)[choice.List - 1];
    lists[kind].ItemIndex = choice.Default;
  }
  if (row->AudioOnly())
    for (TPresetKind kind : {pkResolution, pkVideoBitrate, pkScaling, pkFrameRate})
      lists[kind].Enabled = false;
  return lists;
}

TPresetLists FillPresetLists(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex) {
  SetSelection(AProfile, ACategoryIndex, AFormatIndex);
  AProfile.Video_DisableVideo = false;
  return PresetListsOf(AProfile.All_Trant_Number);
}

std::string ParseFrameSize(const std::string &AShown) {
  return AShown == "保持原分辨率" || AShown == "该格式无视频" ? "" : AShown;
}

std::string ParseFrameRate(const std::string &AShown) {
  return AShown == "保持原帧速率" || AShown == NoVideo ? "" : AShown;
}

int32_t ParseVideoBitrate(const std::string &AShown) {
  if (AShown == NoVideo)
    return BitrateNotGiven;
  return StrToInt(KbpsNumber(AShown)) * 1000;
}

// Decimal text read digit by digit rather than through a floating-point
// parser: the result must not depend on the locale's decimal separator, and
// "5.15" × 1000 must come out as 5150, not 5149.
int32_t ParseAudioBitrate(const std::string &AShown) {
  const std::string number = KbpsNumber(AShown);
  const size_t point = number.find('.');
  if (point == std::string::npos)
    return StrToInt(number) * 1000;
  std::string fraction = number.substr(point + 1);
  const bool digitsOnly = !fraction.empty() && fraction.find_first_not_of("0123456789") == std::string::npos;
  if (!digitsOnly)
    throw EConvertError("'" + number + "' is not a valid floating point value");
  fraction = (fraction + "000").substr(0, 3);
  return StrToInt(number.substr(0, point)) * 1000 + StrToInt(fraction);
}

std::string ParseSampleRate(const std::string &AShown) { return AShown; }

std::string ParseAspectRatio(const std::string &AShown) {
  static const struct {
    const char *Shown;
    const char *Ratio;
  } modes[] = {{"普通视频4:3模式", "4:3"},
               {"宽屏视频16:9模式", "16:9"},
               {"宽屏视频37:20模式", "37:20"},
               {"宽屏视频47:20模式", "47:20"}};
  for (const auto &m : modes)
    if (AShown == m.Shown)
      return m.Ratio;
  return "";
}

void ApplyPresetValue(TCurrentProfile &AProfile, TPresetKind AKind, const std::string &AShown) {
  switch (AKind) {
  case pkResolution:
    AProfile.Video_FrameSize = ParseFrameSize(AShown);
    return;
  case pkVideoBitrate:
    AProfile.Video_VideoBitrate = ParseVideoBitrate(AShown);
    return;
  case pkAudioBitrate:
    AProfile.Video_AudioBitrate = ParseAudioBitrate(AShown);
    return;
  case pkScaling:
    AProfile.Video_FrameAspectRatio = ParseAspectRatio(AShown);
    return;
  case pkFrameRate:
    AProfile.Video_FrameRate = ParseFrameRate(AShown);
    return;
  case pkSampleRate:
    AProfile.Video_AudioSampleRate = ParseSampleRate(AShown);
    return;
  }
  throw EAssertionFailed(Format("Unknown preset kind %d", static_cast<int>(AKind)));
}

void ConfirmPresets(TCurrentProfile &AProfile, const std::array<std::string, PresetKindCount> &AShownTexts) {
  for (TPresetKind kind : {pkResolution, pkFrameRate, pkVideoBitrate, pkSampleRate, pkAudioBitrate, pkScaling})
    ApplyPresetValue(AProfile, kind, AShownTexts[kind]);
}

void ApplyFormatToFile(TCurrentProfile &AProfile, const std::string &AInputFile, int32_t ACategoryIndex,
                       int32_t AFormatIndex, const std::array<std::string, PresetKindCount> &AShownTexts,
                       const std::string &AOutputFolder, bool AOverwrite) {
  AProfile.Video_AddFileName = AInputFile;
  ApplyFormatProfile(AProfile, ACategoryIndex, AFormatIndex, AOutputFolder, AOverwrite);
  ConfirmPresets(AProfile, AShownTexts);
}

TRowColumn PresetRowColumn(const TCurrentProfile &AProfile, TPresetKind AKind) {
  const TPresetKindInfo &info = PresetKindInfo(AKind);
  std::string text;
  switch (AKind) {
  case pkResolution:
    text = AProfile.Video_FrameSize;
    break;
  case pkVideoBitrate:
    text = std::to_string(AProfile.Video_VideoBitrate);
    break;
  case pkAudioBitrate:
    text = std::to_string(AProfile.Video_AudioBitrate);
    break;
  case pkScaling:
    text = AProfile.Video_FrameAspectRatio;
    break;
  case pkFrameRate:
    text = AProfile.Video_FrameRate;
    break;
  case pkSampleRate:
    text = AProfile.Video_AudioSampleRate;
    break;
  }
  return {info.RowColumn, info.RowColumnCaption, text};
}

std::string ChoiceCodeField(int32_t AItemIndex) {
  return AItemIndex < 10 ? "0" + std::to_string(AItemIndex) : std::to_string(AItemIndex);
}

std::string ChoiceCode(const std::array<int32_t, PresetKindCount> &AItemIndexes) {
  std::string code;
  for (int32_t index : AItemIndexes)
    code += ChoiceCodeField(index);
  return code;
}

std::string ReplaceChoiceCode(const std::string &ACode, TPresetKind AKind, int32_t AItemIndex) {
  const size_t at = 2 * static_cast<size_t>(AKind);
  if (ACode.size() < at + 2)
    throw Exception(Format("Choice code '%s' has no field %d", ACode.c_str(), static_cast<int>(AKind) + 1));
  return ACode.substr(0, at) + ChoiceCodeField(AItemIndex) + ACode.substr(at + 2);
}

std::array<int32_t, PresetKindCount> ParseChoiceCode(const std::string &ACode) {
  if (ACode.size() < 2 * PresetKindCount)
    throw Exception(Format("Choice code '%s' is shorter than 12 characters", ACode.c_str()));
  std::array<int32_t, PresetKindCount> indexes;
  for (int32_t k = 0; k < PresetKindCount; ++k)
    indexes[k] = StrToInt(ACode.substr(2 * k, 2));
  return indexes;
}
