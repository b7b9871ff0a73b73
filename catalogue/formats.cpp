#include "catalogue/formats.h"

#include "catalogue/categories.h"
#include "platform/convert.h"
#include "platform/exceptions.h"

#include <algorithm>

namespace {

// Category code, format index, title, description. The descriptions of
// "通用音频" and of the first two "HD视频" formats are the product's own; the
// rest say in one sentence what the variant is for, naming its grade, its
// codec or the device it suits, so that the two lines of an entry tell
// formats with similar titles apart.
constexpr TFormat FormatTable[] = {
    // 0 "通用音频", code 1
    {1, 0, "MP3 - MPEG Layer-3音频格式(*.mp3)",
     "最流行的音频格式,具有体积小,音质高的特点,几乎成为网上音乐的代名词"},
    {1, 1, "WMA - Windows媒体音频格式(*.wma)",
     "微软公司推出的与MP3格式齐名的一种新的音频格式"},
    {1, 2, "WAV - 波形音频格式(*.wav)",
     "WAV为微软公司开发的波形声音文件格式"},
    {1, 3, "AAC - 高级音频格式(*.aac)",
     "高级声音数据设计的文件压缩格式,与Mp3类似,苹果公司的ipod,iPhone支持的音频格式"},
    {1, 4, "M4A - MPEG-4音频格式(*.m4a)",
     "M4A是MPEG4音频标准的文件,几乎所有支持MPEG4音频的软件都支持m4a音频"},
    {1, 5, "OGG - Ogg Vorbis音频格式(*.ogg)",
     "OGG是一种常见的格式，在音乐软件、游戏音效、便携播放器、网络浏览器上都得到广泛支持"},
    {1, 6, "RA - RealAudio音频格式(*.ra)",
     "RealNetworks制定的流媒体音频格式,便于网络传输的音频格式"},
    {1, 7, "AC3 - 杜比数字AC-3音频格式(*.ac3)",
     "杜比数字AC-3是杜比公司开发的新一代家庭影院多声道数字音频系统。"},
    {1, 8, "AIFF - 音频交换文件格式(*.aiff)",
     "AIFF是音频交换文件格式是Apple公司开发的声音文件格式,广泛应用于各种专业的音频软件中"},
    {1, 9, "MP2 - MPEG Layer-2音频格式(*.mp2)",
     "MPEG Layer-2音频格式，具有CD级别的音质"},
    {1, 10, "FLAC-音频格式(*.flac)",
     "FLAC是一套著名的无损压缩编码,所以还原CD音乐光盘音质"},
    {1, 11, "MP4-MP4音频格式(*.m4a)",
     "MP4音频格式,具有完美的CD音质"},
    {1, 12, "AMR-手机音频格式(*.amr)",
     "AMR是流行的手机数字音乐文件格式之一"},
    // 1 "MP3音频", code 29
    {29, 0, "高清晰MP3音频格式(*.mp3)",
     "MP3音频格式，可以转换高清晰的MP3音频格式"},
    {29, 1, "高压缩MP3音频格式(*.mp3)",
     "MP3音频格式，可以转换高压缩比、体积更小的MP3音频格式"},
    {29, 2, "优化MP3音频格式(*.mp3)",
     "MP3音频格式，可以转换音质与体积兼顾的优化MP3音频格式"},
    {29, 3, "标准MP3音频格式(*.mp3)",
     "MP3音频格式，可以转换通用的标准MP3音频格式"},
    // 2 "WAV音频", code 30
    {30, 0, "高清晰WAV音频格式(*.wav)",
     "WAV音频格式，可以转换高清晰的WAV音频格式"},
    {30, 1, "高压缩WAV音频格式(*.wav)",
     "WAV音频格式，可以转换高压缩比、体积更小的WAV音频格式"},
    {30, 2, "优化WAV音频格式(*.wav)",
     "WAV音频格式，可以转换音质与体积兼顾的优化WAV音频格式"},
    {30, 3, "标准WAV音频格式(*.wav)",
     "WAV音频格式，可以转换通用的标准WAV音频格式"},
    // 3 "WMA音频", code 28
    {28, 0, "高清晰WMA音频格式(*.wma)",
     "WMA音频格式，可以转换高清晰的WMA音频格式"},
    {28, 1, "高压缩WMA音频格式(*.wma)",
     "WMA音频格式，可以转换高压缩比、体积更小的WMA音频格式"},
    {28, 2, "优化WMA音频格式(*.wma)",
     "WMA音频格式，可以转换音质与体积兼顾的优化WMA音频格式"},
    {28, 3, "标准WMA音频格式(*.wma)",
     "WMA音频格式，可以转换通用的标准WMA音频格式"},
    // 4 "经典视频", code 0
    {0, 0, "AVI - 音频视频交错格式(*.avi)",
     "音频视频交错格式，采用Xvid编码，几乎所有播放器都能播放"},
    {0, 1, "MP4 - MPEG-4视频格式(*.mp4)",
     "MPEG-4视频格式，适合在电脑和各种移动设备上播放"},
    {0, 2, "DivX - 视频格式(*.avi)",
     "DivX编码的AVI视频格式，画质清晰，文件体积小"},
    {0, 3, "MOV - 苹果QuickTime视频格式(*.mov)",
     "苹果公司的QuickTime视频格式，适合在苹果电脑和设备上播放"},
    {0, 4, "XviD - 视频格式(*.avi)",
     "XviD编码的AVI视频格式，开放源码的MPEG-4编码，画质好、压缩率高"},
    {0, 5, "MKV - Matroska视频格式(*.mkv)",
     "Matroska多媒体容器格式，可以容纳多种视频、音频和字幕"},
    {0, 6, "MPEG-1视频格式(*.mpg)",
     "MPEG-1视频格式，VCD采用的视频压缩标准，兼容性极好"},
    {0, 7, "MPEG-2视频格式(*.mpg)",
     "MPEG-2视频格式，DVD和数字电视采用的视频压缩标准"},
    {0, 8, "ASF - 高级流视频格式(*.asf)",
     "微软公司推出的高级流媒体格式，适合在网络上传输和播放"},
    {0, 9, "3GP - 视频格式(*.3gp)",
     "第三代移动通信的手机视频格式，适合在普通手机上播放"},
    {0, 10, "WMV - 视频格式(*.wmv)",
     "微软公司推出的Windows媒体视频格式，适合在Windows电脑上播放"},
    {0, 11, "DVD - 视频格式(*.mpg)",
     "PAL制式的DVD视频格式，可以刻录成DVD光盘在影碟机上播放"},
    {0, 12, "SVCD - 视频格式(*.mpg)",
     "PAL制式的SVCD视频格式，可以刻录成SVCD光盘在影碟机上播放"},
    {0, 13, "VCD - 视频格式(*.mpg)",
     "PAL制式的VCD视频格式，可以刻录成VCD光盘在影碟机上播放"},
    {0, 14, "RM - REAL视频格式(*.rm)",
     "RealNetworks制定的流媒体视频格式，便于网络传输的视频格式"},
    // 5 "AVI视频", code 15
    {15, 0, "AVI标准视频(*.avi)",
     "最常用的AVI标准视频格式，采用DivX编码"},
    {15, 1, "HD高清晰AVI标准视频(*.avi)",
     "高清晰的AVI视频格式，采用H.264编码，分辨率1280*720"},
    {15, 2, "网络上常用的AVI视频(*.avi)",
     "网络上常用的AVI视频格式，采用Xvid编码，文件体积小便于传播"},
    {15, 3, "电脑上常用的AVI视频(*.avi)",
     "电脑上常用的AVI视频格式，采用Xvid编码，画质与体积兼顾"},
    {15, 4, "优化的AVI视频(*.avi)",
     "经过优化的AVI视频格式，采用DivX编码，画面更加流畅"},
    {15, 5, "高压缩的AVI视频(*.avi)",
     "高压缩的AVI视频格式，采用Xvid编码，文件体积更小"},
    {15, 6, "高清的HD AVI视频(*.avi)",
     "高清的HD AVI视频格式，采用Xvid编码，分辨率1280*720"},
    // 6 "MKV视频", code 16
    {16, 0, "MKV标准视频(*.mkv)",
     "最常用的MKV标准视频格式，采用MPEG-4编码"},
    {16, 1, "HD高清MKV视频(*.mkv)",
     "高清晰的MKV视频格式，采用H.264编码，分辨率1280*720"},
    {16, 2, "网络上常用的MKV视频(*.mkv)",
     "网络上常用的MKV视频格式，采用Xvid编码，文件体积小便于传播"},
    {16, 3, "电脑上常用的MKV标准视频(*.mkv)",
     "电脑上常用的MKV视频格式，采用Xvid编码，画质与体积兼顾"},
    {16, 4, "优化的MKV视频(*.mkv)",
     "经过优化的MKV视频格式，采用DivX编码，画面更加流畅"},
    {16, 5, "高压缩的MKV视频(*.mkv)",
     "高压缩的MKV视频格式，采用Xvid编码，文件体积更小"},
    {16, 6, "高清的HD MKV视频(*.mkv)",
     "高清的HD MKV视频格式，采用Xvid编码，分辨率1280*720"},
    // 7 "HD视频", code 2
    {2, 0, "高清AVI视频格式(*.avi)",
     "高清晰AVI视频格式(DivX视频编码)"},
    {2, 1, "高清AVI视频格式(*.avi)",
     "高清晰AVI视频格式(XviD视频编码)"},
    {2, 2, "高清H264视频格式(*.mp4)",
     "高清晰MP4视频格式(H.264视频编码)"},
    {2, 3, "高清MPEG-4视频格式(*.mp4)",
     "高清晰MP4视频格式(MPEG-4视频编码)"},
    {2, 4, "高清MOV视频格式(*.mov)",
     "高清晰MOV视频格式(苹果QuickTime视频)"},
    {2, 5, "高清ASF视频格式(*.asf)",
     "高清晰ASF视频格式(微软高级流媒体)"},
    {2, 6, "高清WMV视频格式(*.wmv)",
     "高清晰WMV视频格式(WMV2视频编码)"},
    {2, 7, "高清DVD视频格式(*.vob)",
     "高清晰DVD视频格式(VOB视频文件)"},
    {2, 8, "高清MPEG-2视频格式(*.mpg)",
     "高清晰MPG视频格式(MPEG-2视频编码)"},
    {2, 9, "高清MKV视频格式(*.mkv)",
     "高清晰MKV视频格式(MPEG-4视频编码)"},
    // 8 "iPod视频", code 3
    {3, 0, "iPod (320X240) 高清晰视频(*.mp4)",
     "为iPod优化的MPEG-4视频预置方案.(320*240高质量)"},
    {3, 1, "iPod (320X240) 高压缩视频(*.mp4)",
     "为iPod优化的MPEG-4视频预置方案.(320*240高压缩)"},
    {3, 2, "iPod (320X240) 标准视频(*.mp4)",
     "为iPod优化的MPEG-4视频预置方案.(320*240标准质量)"},
    {3, 3, "iPod Video2 TV OutPut视频(*.mp4)",
     "为iPod Video2优化的电视输出视频预置方案.(640*480)"},
    {3, 4, "iPod Video2 (640X480)视频(*.mp4)",
     "为iPod Video2优化的MPEG-4视频预置方案.(640*480标准质量)"},
    {3, 5, "iPod Video2 (640X480)高清晰视频(*.mp4)",
     "为iPod Video2优化的MPEG-4视频预置方案.(640*480高质量)"},
    {3, 6, "iPod Video2 (640X480)高压缩视频(*.mp4)",
     "为iPod Video2优化的MPEG-4视频预置方案.(640*480高压缩)"},
    {3, 7, "iPod touch MPEG-4视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(标准质量)"},
    {3, 8, "iPod touch MPEG-4 480P视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(480P标准质量)"},
    {3, 9, "iPod touch MPEG-4 480P高清晰视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(480P高质量)"},
    {3, 10, "iPod touch MPEG-4 480P高压缩视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(480P高压缩)"},
    {3, 11, "iPod touch MPEG-4 480P宽屏视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(480P宽屏)"},
    {3, 12, "iPod touch MPEG-4 (320X240)视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(320*240)"},
    {3, 13, "iPod touch MPEG-4 (480X320)视频(*.mp4)",
     "为iPod touch优化的MPEG-4视频预置方案.(480*320)"},
    // 9 "iPhone视频", code 4
    {4, 0, "标准iPhone MPEG-4视频(*.mp4)",
     "为iPhone优化的MPEG-4视频预置方案.(480*320标准质量)"},
    {4, 1, "iPhone MPEG-4视频480P(*.mp4)",
     "为iPhone优化的MPEG-4视频预置方案.(640*480)"},
    {4, 2, "高清iPhone MPEG-4视频720P(*.mp4)",
     "为iPhone优化的高清MPEG-4视频预置方案.(1280*720)"},
    {4, 3, "高清iPhone H264视频720P(*.mp4)",
     "为iPhone优化的高清H.264视频预置方案.(1280*720)"},
    {4, 4, "高清iPhone H264视频1080P(*.mp4)",
     "为iPhone优化的全高清H.264视频预置方案.(1920*1080)"},
    {4, 5, "iPhone MPEG-4视频宽屏(*.mp4)",
     "为iPhone优化的MPEG-4宽屏视频预置方案.(720*406)"},
    {4, 6, "iPhone MPEG-4高清晰视频(*.mp4)",
     "为iPhone优化的高质量视频预置方案.(720*406)"},
    {4, 7, "iPhone MPEG-4视频(320X240)(*.mp4)",
     "为iPhone优化的MPEG-4视频预置方案.(320*240)"},
    {4, 8, "iPhone MPEG-4视频(480X320)(*.mp4)",
     "为iPhone优化的MPEG-4视频预置方案.(480*320)"},
    {4, 9, "iPhone 标准MOV视频(*.mov)",
     "适合iPhone播放的标准QuickTime MOV视频格式"},
    {4, 10, "iPhone 高清MOV视频(*.mov)",
     "适合iPhone播放的高清QuickTime MOV视频格式，分辨率1280*720"},
    {4, 11, "iPhone 标准AVI视频-Xvid(*.avi)",
     "适合iPhone播放的AVI视频格式，采用Xvid编码"},
    {4, 12, "iPhone 高清DivX视频(*.avi)",
     "适合iPhone播放的高清AVI视频格式，采用DivX编码"},
    {4, 13, "iPhone 高清AVI视频(*.avi)",
     "适合iPhone播放的高清AVI视频格式，采用微软MPEG-4编码"},
    {4, 14, "iPhone 高清WMV视频(*.wmv)",
     "适合iPhone播放的高清WMV视频格式，分辨率1280*720"},
    // 10 "iPad视频", code 12
    {12, 0, "iPad标准视频格式(*.mp4)",
     "为iPad优化的MPEG-4视频预置方案.(标准质量)"},
    {12, 1, "iPad高清视频格式H.264编码(*.mp4)",
     "为iPad优化的H.264视频预置方案.(720*480高质量)"},
    {12, 2, "iPad MPEG-4视频格式 XviD编码 (*.mp4)",
     "为iPad优化的MPEG-4视频预置方案.(Xvid编码)"},
    {12, 3, "iPad 720P HD高清晰视频MPEG-4(*.mp4)",
     "为iPad优化的高清视频预置方案.(1280*720)"},
    {12, 4, "iPad 优化视频方案1(*.mp4)",
     "为iPad优化的MPEG-4视频预置方案1.(体积小、传输快)"},
    {12, 5, "iPad 优化视频方案2(*.mp4)",
     "为iPad优化的MPEG-4视频预置方案2.(29.97帧更流畅)"},
    {12, 6, "iPad 1080P FHD全高清晰视频MPEG-4(*.mp4)",
     "为iPad优化的全高清视频预置方案.(1920*1080)"},
    {12, 7, "iPad 标准MOV视频(*.mov)",
     "适合iPad播放的标准QuickTime MOV视频格式"},
    {12, 8, "iPad 高清MOV视频(*.mov)",
     "适合iPad播放的高清QuickTime MOV视频格式，分辨率1280*720"},
    {12, 9, "iPad 标准AVI视频(*.avi)",
     "适合iPad播放的AVI视频格式，采用Xvid编码"},
    {12, 10, "iPad 高清AVI视频(*.avi)",
     "适合iPad播放的高清AVI视频格式，采用DivX编码"},
    // 11 "Flash视频", code 11
    {11, 0, "FLV在线网络视频(*.flv)",
     "网络上最流行的FLV流媒体视频格式，适合在线播放"},
    {11, 1, "SWF动画视频FLASH动画视频(*.swf)",
     "Flash动画SWF视频格式，可以在网页和Flash播放器中播放"},
    {11, 2, "FLV在线网络音频格式(*.flv)",
     "只包含声音的FLV网络音频格式，适合在线播放"},
    {11, 3, "SWF动画视频FLASH动画音频格式(*.swf)",
     "只包含声音的SWF Flash动画音频格式，适合网页使用"},
    // 12 "MP4视频", code 10
    {10, 0, "MP4机播放的MP4视频格式(*.mp4)",
     "适合MP4播放器播放的MP4视频格式，分辨率320*240"},
    {10, 1, "电脑上使用的MP4视频格式(*.mp4)",
     "适合在电脑上播放的MP4视频格式，采用MPEG-4编码"},
    {10, 2, "MPEG-4视频高清晰视频(*.mp4)",
     "高清晰的MPEG-4视频格式，采用H.264编码，画质清晰细腻"},
    {10, 3, "MP4 AVC视频(*.mp4)",
     "采用AVC(H.264)编码的MP4视频格式，分辨率320*240"},
    {10, 4, "MP4 H264编码视频(*.mp4)",
     "采用H.264编码的MP4视频格式，压缩率高、画质好"},
    // 13 "MPG视频", code 13
    {13, 0, "MPG标准视频(*.mpg)",
     "最常用的MPG标准视频格式，采用MPEG-1编码"},
    {13, 1, "MPEG-1标准视频(*.mpg)",
     "MPEG-1标准视频格式，兼容性极好，几乎所有播放器都支持"},
    {13, 2, "MPEG-2标准视频(*.mpg)",
     "MPEG-2标准视频格式，DVD和数字电视采用的视频压缩标准"},
    {13, 3, "MPEG-4标准视频(*.mp4)",
     "MPEG-4标准视频格式，压缩率高，适合在电脑和移动设备上播放"},
    {13, 4, "MPEG-2高清HD视频(*.mpg)",
     "高清HD的MPEG-2视频格式，分辨率1280*720"},
    {13, 5, "MPEG-4高清HD视频(*.mp4)",
     "高清HD的MPEG-4视频格式，分辨率1280*720"},
    {13, 6, "MPEG-2优化视频(*.mpg)",
     "经过优化的MPEG-2视频格式，画质与体积兼顾"},
    {13, 7, "MPEG-2高压缩视频(*.mpg)",
     "高压缩的MPEG-2视频格式，文件体积更小"},
    {13, 8, "DVD格式高清晰视频(*.mpg)",
     "高清晰的DVD格式视频，符合PAL制式DVD光盘标准"},
    {13, 9, "SVCD格式标清视频(*.mpg)",
     "标清的SVCD格式视频，符合PAL制式SVCD光盘标准"},
    {13, 10, "VCD格式清晰视频(*.mpg)",
     "清晰的VCD格式视频，符合PAL制式VCD光盘标准"},
    // 14 "智能手机", code 31
    {31, 0, "智能手机标准MP4视频(*.mp4)",
     "适合智能手机播放的标准视频格式，采用H.264编码"},
    {31, 1, "智能手机DivX视频(*.mp4)",
     "适合智能手机播放的DivX视频格式，采用MPEG-4编码"},
    {31, 2, "智能手机Xvid视频(*.mp4)",
     "适合智能手机播放的Xvid视频格式，分辨率640*480"},
    {31, 3, "H.264编码高清视频(*.mp4)",
     "适合智能手机播放的H.264编码高清视频格式"},
    {31, 4, "智能手机高清AVI视频(*.avi)",
     "适合智能手机播放的高清AVI视频格式，分辨率1024*768"},
    {31, 5, "AVI视频-智能手机适用(*.avi)",
     "智能手机适用的AVI视频格式，采用MPEG-4编码"},
    {31, 6, "MKV格式视频(*.mkv)",
     "适合智能手机播放的MKV视频格式，采用Xvid编码"},
    {31, 7, "手机MOV视频(*.mov)",
     "适合智能手机播放的QuickTime MOV视频格式"},
    {31, 8, "FLV网络格式视频(*.flv)",
     "适合智能手机在线观看的FLV网络视频格式"},
    {31, 9, "手机3GP视频(*.3gp)",
     "适合普通手机播放的3GP视频格式，分辨率176*144"},
    {31, 10, "WMV格式视频(*.wmv)",
     "适合Windows手机播放的WMV视频格式"},
    {31, 11, "ASF格式视频(*.asf)",
     "适合Windows手机播放的ASF流媒体视频格式"},
    {31, 12, "MPG格式视频(*.mpg)",
     "适合智能手机播放的MPG视频格式，分辨率640*480"},
    {31, 13, "智能手机支持的MPEG-2视频(*.mpg)",
     "智能手机支持的MPEG-2视频格式，分辨率800*600"},
    {31, 14, "智能手机支持的MPEG-4视频(*.mp4)",
     "智能手机支持的MPEG-4视频格式，采用Xvid编码"},
    {31, 15, "手机MP3格式音频(*.mp3)",
     "适合手机播放的MP3音频格式，可以用作铃声和音乐"},
    // 15 "平板电脑", code 32
    {32, 0, "高清AVI格式视频(*.avi)",
     "适合平板电脑播放的高清AVI视频格式，分辨率1280*720"},
    {32, 1, "平板电脑支持的AVI视频(*.avi)",
     "平板电脑支持的AVI视频格式，采用MPEG-4编码"},
    {32, 2, "平板电脑标准的MP4视频(*.mp4)",
     "适合平板电脑播放的标准MP4宽屏视频格式"},
    {32, 3, "适用平板电脑的DivX视频(*.mp4)",
     "适合平板电脑播放的DivX视频格式，分辨率800*600"},
    {32, 4, "Xvid视频高清(*.mp4)",
     "适合平板电脑播放的Xvid高清视频格式，分辨率1024*768"},
    {32, 5, "H.264格式高清视频(*.mp4)",
     "适合平板电脑播放的H.264高清视频格式，分辨率1280*720"},
    {32, 6, "安卓平板电脑MPEG-2视频(*.mpg)",
     "适合安卓平板电脑播放的MPEG-2视频格式"},
    {32, 7, "Android平板支持的MPEG-4视频(*.mp4)",
     "适合Android平板电脑播放的MPEG-4宽屏视频格式"},
    {32, 8, "MKV格式视频(*.mkv)",
     "适合平板电脑播放的MKV视频格式，采用Xvid编码"},
    {32, 9, "MOV格式视频(*.mov)",
     "适合平板电脑播放的QuickTime MOV视频格式"},
    {32, 10, "FLV格式视频(*.flv)",
     "适合平板电脑在线观看的FLV网络视频格式"},
    {32, 11, "平板电脑WMV视频(*.wmv)",
     "适合Windows平板电脑播放的WMV视频格式"},
    {32, 12, "平板电脑MP3音频(*.mp3)",
     "适合平板电脑播放的MP3音频格式"},
    // 16 "智能电视", code 33
    {33, 0, "智能电视高清MP4视频(*.mp4)",
     "适合智能电视播放的高清视频格式，采用H.264编码"},
    {33, 1, "4K高清电视DivX视频(*.mp4)",
     "适合4K高清智能电视播放的MP4视频格式"},
    {33, 2, "电视高清Xvid视频(*.mp4)",
     "适合高清电视播放的Xvid视频格式，分辨率1920*1080"},
    {33, 3, "H.264编码高清视频(*.mp4)",
     "适合智能电视播放的H.264编码高清视频格式"},
    {33, 4, "高清智能电视AVI视频(*.avi)",
     "适合高清智能电视播放的AVI视频格式，分辨率1280*720"},
    {33, 5, "4K高清电视AVI视频(*.avi)",
     "适合4K高清电视播放的AVI视频格式，分辨率3840*2160"},
    {33, 6, "智能电视适用的MKV视频(*.mkv)",
     "智能电视适用的MKV视频格式，采用Xvid编码"},
    {33, 7, "高清MOV格式视频(*.mov)",
     "适合智能电视播放的高清QuickTime MOV视频格式"},
    {33, 8, "FLV网络视频(*.flv)",
     "适合智能电视在线观看的FLV网络视频格式"},
    {33, 9, "WMV高清视频(*.wmv)",
     "适合智能电视播放的WMV高清视频格式"},
    {33, 10, "高清MPEG视频(*.mpg)",
     "适合智能电视播放的高清MPEG-2视频格式"},
    {33, 11, "MPEG-4超高清视频(*.mp4)",
     "适合智能电视播放的超高清视频格式，分辨率1920*1080"},
};

} // namespace

std::span<const TFormat> AllFormats() { return FormatTable; }

std::span<const TFormat> FormatsOf(int32_t ACategoryIndex) {
  const int32_t code = CategoryCodeOf(ACategoryIndex);
  const auto same = [code](const TFormat &f) { return f.CategoryCode == code; };
  const auto first = std::find_if(std::begin(FormatTable), std::end(FormatTable), same);
  const auto last = std::find_if_not(first, std::end(FormatTable), same);
  return {first, last};
}

const TFormat &FormatAt(int32_t ACategoryIndex, int32_t AFormatIndex) {
  const auto formats = FormatsOf(ACategoryIndex);
  if (AFormatIndex < 0 || AFormatIndex >= static_cast<int32_t>(formats.size()))
    throw Exception(Format("Format index %d out of range for category %d", AFormatIndex, ACategoryIndex));
  return formats[AFormatIndex];
}

std::vector<TFormatListItem> FormatListOf(int32_t ACategoryIndex) {
  std::vector<TFormatListItem> items;
  for (const TFormat &f : FormatsOf(ACategoryIndex))
    items.push_back({f.Title, f.Description, FormatImageIndex(f.FormatIndex)});
  return items;
}

// The two format images alternate down the list.
int32_t FormatImageIndex(int32_t AFormatIndex) { return AFormatIndex % 2 == 0 ? 0 : 1; }

int32_t FormatKey(int32_t ACategoryCode, int32_t AFormatIndex) { return AFormatIndex + (ACategoryCode + 1) * 100; }

int32_t FormatKeyAt(int32_t ACategoryIndex, int32_t AFormatIndex) {
  return FormatKey(CategoryCodeOf(ACategoryIndex), AFormatIndex);
}

int32_t RowCategoryNumber(int32_t ACategoryIndex, int32_t AFormatIndex) {
  return (ACategoryIndex + 1) * 100 + AFormatIndex;
}

TFormatPosition SplitRowCategoryNumber(int32_t ANumber) {
  const int32_t hundreds = ANumber / 100;
  return {hundreds - 1, ANumber - hundreds * 100};
}

std::optional<TFormatPosition> FindFormatByKey(int32_t AKey) {
  for (const TFormat &f : FormatTable)
    if (FormatKey(f.CategoryCode, f.FormatIndex) == AKey)
      return TFormatPosition{CategoryIndexOfCode(f.CategoryCode), f.FormatIndex};
  return std::nullopt;
}

std::string OutputExtensionOfTitle(const std::string &ATitle) {
  const size_t open = ATitle.rfind("(*");
  if (open == std::string::npos)
    return {};
  const size_t begin = open + 2;
  const size_t close = ATitle.find(')', begin);
  return ATitle.substr(begin, close == std::string::npos ? std::string::npos : close - begin);
}
