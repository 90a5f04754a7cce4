#!/usr/bin/env bash
# Draws the pictures of the setup pages into ui/package/app/installer/res.
# Needs ImageMagick and the fonts named below (Debian: fonts-dejavu-core,
# fonts-wqy-microhei, fonts-tlwg-loma). The output is committed; run this
# again after changing it. No time stamps are stored; other versions of the
# drawing tool blend anti-aliased edges a little differently, so the test
# compares with scripts/compare-pictures. Strokes end and join round: butt
# ends and mitres of wide polylines differ between patch releases.
#   ui/pictures/draw.sh [OUTPUT_DIR]   (default: the package's res folder)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../package/app/installer/res}"
mkdir -p "$out"
latin=DejaVu-Sans-Bold
cjk="WenQuanYi-Micro-Hei"
thai="Loma-Bold"
blue='#2563eb'
deep='#1e3a8a'
sky='#60a5fa'

save() {  # save <convert args...> <file>
    local file="${@: -1}"
    set -- "${@:1:$#-1}"
    convert "$@" -strip -define png:exclude-chunks=date,time "PNG32:$out/$file"
}

# Title-bar icons, 12 x 12 strokes on transparent ground.
save -size 28x28 xc:none -stroke '#475569' -strokewidth 1.6 -draw 'line 8,14 20,14' min.png
save -size 28x28 xc:none -stroke '#475569' -strokewidth 1.6 -draw 'line 9,9 19,19' -draw 'line 19,9 9,19' close.png

# Logo: a rounded blue square with a white petal.
save -size 40x40 xc:none -fill "$blue" -draw 'roundrectangle 0,0 39,39 9,9' \
     -fill white -draw 'ellipse 20,22 7,12 0,360' -fill "$sky" -draw 'ellipse 20,22 3,7 0,360' \
     -resize 20x20 logo.png

# Notice icon: a blue disc with an "i".
save -size 80x80 xc:none -fill "$blue" -draw 'circle 40,40 40,2' -fill white \
     -draw 'circle 40,22 40,27' -draw 'roundrectangle 35,34 45,62 3,3' -resize 40x40 notice.png

# Hero of the preparation pane: soft blue band with floating devices.
save -size 599x190 gradient:'#eff6ff'-'#dbeafe' \
     -fill '#bfdbfe' -draw 'circle 520,30 520,110' -fill '#c7dcfd' -draw 'circle 70,170 70,250' \
     -fill white -stroke '#93c5fd' -strokewidth 2 -draw 'roundrectangle 200,40 400,160 10,10' \
     -fill "$blue" -stroke none -draw 'roundrectangle 212,52 388,140 4,4' \
     -fill white -draw 'roundrectangle 280,162 320,168 2,2' \
     -fill white -stroke '#93c5fd' -strokewidth 2 -draw 'roundrectangle 410,80 460,165 8,8' \
     -fill "$sky" -stroke none -draw 'roundrectangle 416,90 454,152 3,3' \
     -fill white -draw 'ellipse 300,96 18,30 0,360' -fill "$sky" -draw 'ellipse 300,96 8,16 0,360' \
     hero.png

# Uninstall progress picture.
save -size 200x160 xc:none -fill '#dbeafe' -draw 'circle 100,80 100,5' \
     -fill white -stroke '#93c5fd' -strokewidth 2 -draw 'roundrectangle 55,40 145,120 10,10' \
     -stroke none -fill "$blue" -draw 'roundrectangle 70,55 130,65 3,3' -fill "$sky" \
     -draw 'roundrectangle 70,75 115,85 3,3' -fill '#bfdbfe' -draw 'roundrectangle 70,95 125,105 3,3' \
     uninstall.png

# Carousel pictures 2 and 3 of each slide (shared by all languages).
illustration() {  # illustration <slide> <variant> <file>
    local s=$1 v=$2 file=$3 c1 c2
    case $s in 1) c1="$blue" c2="$sky" ;; 2) c1='#0ea5e9' c2='#7dd3fc' ;; *) c1='#6366f1' c2='#a5b4fc' ;; esac
    if [[ $v == 2 ]]; then
        save -size 260x220 xc:none -fill "$c2" -draw 'circle 130,110 130,15' \
             -fill white -stroke "$c1" -strokewidth 3 -draw 'roundrectangle 70,50 190,170 14,14' \
             -stroke none -fill "$c1" -draw 'roundrectangle 88,70 172,95 5,5' -fill "$c2" \
             -draw 'roundrectangle 88,110 150,122 4,4' -draw 'roundrectangle 88,132 165,144 4,4' "$file"
    else
        save -size 260x220 xc:none -fill "$c2" -draw 'circle 130,110 130,15' \
             -fill white -stroke "$c1" -strokewidth 3 -draw 'circle 130,110 130,50' \
             -stroke "$c1" -strokewidth 9 -fill none \
             -draw 'stroke-linecap round stroke-linejoin round polyline 102,112 122,132 160,92' "$file"
    fi
}
for s in 1 2 3; do
    illustration $s 2 rotate${s}2.png
    illustration $s 3 rotate${s}3.png
done

# Carousel picture 1 of each slide: the slide's headline in each language.
declare -A head
head[en_US,1]='Quick and safe setup';       head[en_US,2]='All your devices, one place';  head[en_US,3]='Ready in a moment'
head[zh_CN,1]='快速、安全的安装';            head[zh_CN,2]='所有设备，一处管理';             head[zh_CN,3]='马上就好'
head[zh_TW,1]='快速、安全的安裝';            head[zh_TW,2]='所有裝置，一處管理';             head[zh_TW,3]='馬上就好'
head[th_TH,1]='ติดตั้งง่าย รวดเร็ว ปลอดภัย';  head[th_TH,2]='ทุกอุปกรณ์ในที่เดียว';          head[th_TH,3]='พร้อมใช้งานในไม่ช้า'
head[vi_VN,1]='Cài đặt nhanh và an toàn';    head[vi_VN,2]='Mọi thiết bị, một nơi';          head[vi_VN,3]='Sẵn sàng trong giây lát'
head[id_ID,1]='Instalasi cepat dan aman';    head[id_ID,2]='Semua perangkat, satu tempat';  head[id_ID,3]='Siap dalam sekejap'
for lang in en_US zh_CN zh_TW th_TH vi_VN id_ID; do
    case $lang in zh_*) font=$cjk ;; th_TH) font=$thai ;; *) font=$latin ;; esac
    for s in 1 2 3; do
        save -background none -fill "$deep" -font "$font" -pointsize 24 -size 280x \
             caption:"${head[$lang,$s]}" -gravity southwest -extent 300x130 \
             \( -size 300x50 xc:none -fill "$blue" -draw 'roundrectangle 0,20 59,25 3,3' \) -append \
             -gravity center -extent 300x180 \
             rotate${s}1_${lang}.png
    done
done
