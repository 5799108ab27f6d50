#!/bin/sh
# Regenerates the small test movies: 3 s at 25 frames/s, 160 x 120, one second each of
# pure red, green and blue, so a test can tell the position from a pixel.
set -e
cd "$(dirname "$0")"
src='color=c=red:s=160x120:r=25:d=1[a];color=c=lime:s=160x120:r=25:d=1[b];color=c=blue:s=160x120:r=25:d=1[c];[a][b][c]concat=n=3:v=1:a=0,format=yuv420p[v]'
enc() { ffmpeg -hide_banner -loglevel error -y -filter_complex "$src" -map '[v]' "$@"; }
enc -c:v mpeg1video -g 5 -b:v 64k -packetsize 1024 -f mpeg rgb.mpg
enc -c:v mpeg2video -g 5 -b:v 64k -f mpeg rgb.mpeg
enc -c:v mpeg4 -g 5 -q:v 20 rgb.avi
enc -c:v libx264 -g 5 -preset veryfast -crf 30 -movflags +faststart rgb.mp4
# With sound: a second of a tone under the colours, in the kinds of movie a package plays.
tone='sine=frequency=440:duration=1:sample_rate=44100'
snd() {
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "color=c=red:s=160x120:r=25:d=1" \
    -f lavfi -i "$tone" -pix_fmt yuv420p -shortest "$@"
}
snd -c:v mpeg1video -b:v 64k -c:a mp2 -b:a 64k -f mpeg sound-mpeg1.mpg
snd -c:v mpeg2video -b:v 64k -c:a ac3 -b:a 64k -f vob sound-mpeg2.mpeg
snd -c:v libx264 -preset veryfast -crf 30 -c:a aac -b:a 48k -movflags +faststart sound-h264.mp4
