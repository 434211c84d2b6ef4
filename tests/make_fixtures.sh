#!/bin/sh
# Generates the media the tests play into the folder given as $1 (skips files already there).
set -eu
out=$1
mkdir -p "$out"
cd "$out"

ff() { target=$1; shift; [ -s "$target" ] || ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "$target"; }

sine="-f lavfi -i sine=frequency=440:duration=1"
ff tone.mp3 $sine -c:a libmp3lame
ff tone.m4a $sine -c:a aac
ff tone.wav $sine -c:a pcm_s16le

clip="-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -pix_fmt yuv420p"
ff clip.mp4 $clip -c:v libx264 -preset ultrafast
ff clip.m4v $clip -c:v libx264 -preset ultrafast -f mp4
ff clip.mov $clip -c:v libx264 -preset ultrafast
ff clip.avi $clip -c:v mpeg4
ff clip.mkv $clip -c:v libx264 -preset ultrafast
ff full-hd.mp4 -f lavfi -i testsrc=size=1920x1080:rate=25:duration=1 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
# Wider than clip.mp4 but not taller, and taller but not wider.
ff wide.mp4 -f lavfi -i testsrc=size=1200x200:rate=5:duration=1 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
ff tall.mp4 -f lavfi -i testsrc=size=240x900:rate=5:duration=1 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast

# The picture a renderer must show for clip.mp4, right way up.
ff clip-frame.png -i clip.mp4 -frames:v 1

: > empty.mp3
[ -s random.mp3 ] || head -c 65536 /dev/urandom > random.mp3
printf 'This is not a video.\n' > text.mkv

# Long enough to seek in, and larger than what mpv reads ahead, to cut short while it plays.
ff long.mp3 -f lavfi -i sine=frequency=330:duration=60 -c:a libmp3lame -b:a 320k
ff long.mp4 -f lavfi -i testsrc=size=320x240:rate=25:duration=30 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
# 320x240 stored, shown a quarter turn rotated: 240x320. ffmpeg only keeps the tag on a copy.
ff rotated.mp4 -i long.mp4 -c copy -metadata:s:v:0 rotate=90
ff tagged.mp3 -f lavfi -i sine=frequency=550:duration=1 -c:a libmp3lame \
    -metadata title="Blue Hour" -metadata artist="The Sonavels" -metadata album="Quiet Rooms"

# A film with two audio tracks in two languages and an embedded Japanese subtitle track.
[ -s words.srt ] || printf '1\n00:00:00,000 --> 00:00:05,000\nこんにちは\n' > words.srt
ff languages.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=frequency=300:duration=2 -f lavfi -i sine=frequency=600:duration=2 \
    -i words.srt -map 0 -map 1 -map 2 -map 3 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
    -c:a aac -c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 language=jpn \
    -metadata:s:s:0 language=jpn -disposition:s:0 0

# A film that changes size midway: red at 320x240, then blue at 640x360 (an MPEG-TS stream may
# change size where its parts join; Matroska carries it on).
if [ ! -s size-change.mkv ]; then
    part() { ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
        -i "color=c=$1:size=$2:rate=25:duration=1.5" -pix_fmt yuv420p -c:v libx264 \
        -preset ultrafast -output_ts_offset "$3" -f mpegts -; }
    { part red 320x240 0; part blue 640x360 1.5; } > size-change.ts
    ffmpeg -nostdin -hide_banner -loglevel error -y -i size-change.ts -c copy size-change.mkv
    rm -f size-change.ts
fi
# An 8K film, more than software drawing keeps up with here, and its first picture.
ff huge-8k.mkv -f lavfi -i testsrc=size=7680x4320:rate=2:duration=3 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
ff huge-8k-frame.png -i huge-8k.mkv -frames:v 1 -vf scale=960:540

# White subtitles on a black film: where they are drawn is plain to see.
[ -s bars.srt ] || printf '1\n00:00:00,000 --> 00:00:10,000\nWWWWWWWW\n' > bars.srt
ff subtitled-black.mkv -f lavfi -i color=c=black:size=320x240:rate=10:duration=10 -i bars.srt \
    -map 0 -map 1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:s srt -disposition:s:0 default

# Subtitles under speech: English speech with Japanese words, and Japanese speech with a forced
# Japanese track (signs and songs).
ff english-speech.mkv -f lavfi -i testsrc=size=160x120:rate=5:duration=2 \
    -f lavfi -i sine=frequency=300:duration=2 -i words.srt -map 0 -map 1 -map 2 \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:a aac -c:s srt \
    -metadata:s:a:0 language=eng -metadata:s:s:0 language=jpn
ff forced-subtitles.mkv -f lavfi -i testsrc=size=160x120:rate=5:duration=2 \
    -f lavfi -i sine=frequency=300:duration=2 -i words.srt -map 0 -map 1 -map 2 \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:a aac -c:s srt \
    -metadata:s:a:0 language=jpn -metadata:s:s:0 language=jpn -disposition:s:0 forced

# A film with subtitles styled beyond what can be drawn: 400 lines at once, heavily blurred,
# outlined and shadowed, each turning. Drawing them takes hundreds of MB a second.
ff heavy-subtitles.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=30 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
[ -s heavy-subtitles.ass ] || awk 'BEGIN {
    print "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 360\n"
    print "[V4+ Styles]"
    print "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, " \
        "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, " \
        "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding"
    print "Style: Default,DejaVu Sans,24,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0," \
        "100,100,0,0,1,2,2,2,10,10,10,1\n"
    print "[Events]"
    print "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text"
    for (i = 0; i < 400; i++)
        printf "Dialogue: 0,0:00:00.00,0:00:30.00,Default,,0,0,0,,{\\pos(%d,%d)\\blur20" \
            "\\bord15\\shad10\\fscx300\\fscy300\\t(0,30000,\\frz360)}Line %d\n",
            (i * 37) % 640, (i * 23) % 360, i
}' > heavy-subtitles.ass

# A 4K film whose styled subtitles are light: its own pictures are what take the memory.
ff styled-4k.mkv -f lavfi -i testsrc=size=3840x2160:rate=5:duration=3 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast
[ -s styled-4k.ass ] || printf '%s\n' '[Script Info]' 'ScriptType: v4.00+' '' '[V4+ Styles]' \
    'Format: Name, Fontname, Fontsize, PrimaryColour, Bold, Outline, Shadow, Alignment' \
    'Style: Default,DejaVu Sans,24,&H00FFFFFF,0,1,1,2' '' '[Events]' \
    'Format: Layer, Start, End, Style, Text' 'Dialogue: 0,0:00:00.00,0:00:03.00,Default,Hello' \
    > styled-4k.ass

# Two sound and two subtitle tracks that say neither their language nor a title.
ff untagged-tracks.mkv -f lavfi -i testsrc=size=160x120:rate=5:duration=2 \
    -f lavfi -i sine=frequency=300:duration=2 -f lavfi -i sine=frequency=600:duration=2 \
    -i words.srt -i words.srt -map 0 -map 1 -map 2 -map 3 -map 4 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast -c:a aac -c:s srt

# Songs with an embedded cover: a small red one, and a 46 MB noise picture.
ff cover.png -f lavfi -i color=c=red:s=200x200 -frames:v 1
ff covered.mp3 -i tone.mp3 -i cover.png -map 0 -map 1 -c copy -id3v2_version 3 \
    -disposition:v attached_pic
ff huge-cover.png -f lavfi -i "color=c=gray:s=4000x4000,noise=alls=100:allf=u" -frames:v 1 \
    -compression_level 0
ff huge-cover.mp3 -i tone.mp3 -i huge-cover.png -map 0 -map 1 -c copy -id3v2_version 3 \
    -disposition:v attached_pic

# Long enough to be remembered where it was left: a film with two sound tracks and subtitles,
# and a recording just too short to be.
ff six-minutes.mkv -f lavfi -i testsrc=size=160x120:rate=5:duration=360 \
    -f lavfi -i sine=frequency=300:duration=360 -f lavfi -i sine=frequency=600:duration=360 \
    -i words.srt -map 0 -map 1 -map 2 -map 3 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
    -c:a aac -b:a 32k -c:s srt -metadata:s:a:0 language=eng -metadata:s:a:1 language=jpn \
    -metadata:s:s:0 language=jpn
ff four-minutes.mp3 -f lavfi -i sine=frequency=440:duration=240 -c:a libmp3lame -b:a 32k
# Long enough to stay on while a test reads it, with a cover and an album name.
ff covered-album.mp3 -i four-minutes.mp3 -i cover.png -map 0 -map 1 -c copy -id3v2_version 3 \
    -metadata album="Quiet Rooms" -disposition:v attached_pic
ff six-minutes.mp3 -f lavfi -i sine=frequency=440:duration=360 -c:a libmp3lame -b:a 32k

# An album to listen to: rising tones, song k at 300 + 600k Hz rising 100 Hz a second, so that
# the pitch heard tells the song and the time in it. The formats change along the way: 48 kHz
# mono twice, then 44.1 kHz stereo, then an mp3.
chirp() { echo "aevalsrc=0.5*sin(2*PI*($1*t+50*t*t)):s=$2:d=2"; }
ff album-1.wav -f lavfi -i "$(chirp 300 48000)" -c:a pcm_s16le
ff album-2.wav -f lavfi -i "$(chirp 900 48000)" -c:a pcm_s16le
ff album-3.wav -f lavfi -i "$(chirp 1500 44100)" -ac 2 -c:a pcm_s16le
ff album-4.mp3 -f lavfi -i "$(chirp 2100 48000)" -ac 2 -c:a libmp3lame -b:a 192k
# A film whose sound is the first song's tone.
ff tone-film.mp4 -f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i "$(chirp 300 48000)" \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:a aac -b:a 128k -shortest

# Chapters as ffmpeg writes them from its metadata: a film with a titled, an untitled and
# a titled chapter, and an audiobook in two parts.
chapter() { printf '[CHAPTER]\nTIMEBASE=1/1000\nSTART=%s\nEND=%s\n' "$1" "$2"; [ -z "$3" ] || printf 'title=%s\n' "$3"; }
[ -s chapters.txt ] || { echo ';FFMETADATA1'; chapter 0 2000 Opening; chapter 2000 4000 ''
    chapter 4000 6000 Ending; } > chapters.txt
ff chapters.mkv -f lavfi -i testsrc=size=320x240:rate=25:duration=6 \
    -f lavfi -i sine=frequency=300:duration=6 -i chapters.txt -map 0 -map 1 -map_metadata 2 \
    -map_chapters 2 -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:a aac
[ -s audiobook.txt ] || { echo ';FFMETADATA1'; chapter 0 3000 'Part One'
    chapter 3000 6000 'Part Two'; } > audiobook.txt
ff audiobook.m4a -f lavfi -i sine=frequency=440:duration=6 -i audiobook.txt -map 0 \
    -map_chapters 1 -metadata title=Audiobook -c:a aac
# Three hundred chapters in ten seconds.
[ -s many-chapters.txt ] || { echo ';FFMETADATA1'; i=0
    while [ $i -lt 300 ]; do chapter $((i * 33)) $((i * 33 + 33)) "Part $i"; i=$((i + 1)); done
    } > many-chapters.txt
ff many-chapters.mkv -f lavfi -i testsrc=size=160x120:rate=25:duration=10 -i many-chapters.txt \
    -map 0 -map_chapters 1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast
# A steady tone, whose pitch must stay as it is at any speed.
ff steady.wav -f lavfi -i sine=frequency=440:sample_rate=48000:duration=6 -c:a pcm_s16le
# For the time bar's preview. A film whose colour tells the second (red 12 times the second,
# green 240 less that), with a keyframe every 10 s, so that a keyframe's picture is not the
# very frame's; ten hours, tiny, one picture a second and an hour between keyframes; one with
# a stretch of noise a third of the way in; one with sound alone.
ff colours.mp4 -f lavfi \
    -i "color=c=black:s=320x180:r=5:d=20,format=rgb24,geq=r='12*floor(T)':g='240-12*floor(T)':b=128" \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -g 50 -keyint_min 50 -sc_threshold 0
ff ten-hours.mkv -f lavfi -i testsrc=size=64x36:rate=1 -t 36000 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast -g 3600
if [ ! -s damaged.mp4 ]; then
    cp long.mp4 damaged.part
    dd if=/dev/urandom of=damaged.part bs=4096 count=64 iflag=fullblock conv=notrunc \
        seek=$(($(stat -c %s damaged.part) / 3 / 4096)) 2>/dev/null
    mv damaged.part damaged.mp4
fi
ff sound-only.mp4 -f lavfi -i sine=frequency=440:duration=5 -c:a aac
