#!/usr/bin/env bash
# Draws every picture of the installer's skins into img/ beside this script.
# The pictures are committed; run this again after changing a colour or a
# shape here, then look at them (and at the window goldens) before committing.
#   usage: src/zephris_install/skin/make-images.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/img
mkdir -p "$out"

# The skins' own CJK face; Latin text uses DejaVu Sans.
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
sans_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for f in "$cjk" "$sans" "$sans_bold"; do
  [ -f "$f" ] || { echo "missing font $f (fonts-wqy-microhei, fonts-dejavu-core)"; exit 1; }
done

# Brand colours.
red=#E8313A
red_light=#FF555C
red_dark=#C9242D
ink=#16151B

# Runs one convert pipeline into img/NAME as 32-bit PNG, without time stamps
# so that a rerun changes no byte: png NAME convert-arguments...
png() {
  local name=$1; shift
  convert "$@" -strip -define png:exclude-chunks=date,time "PNG32:$out/$name"
}

# A rounded rectangle of a vertical gradient: name w h top bottom radius [border colour]
rounded() {
  local name=$1 w=$2 h=$3 top=$4 bottom=$5 r=$6 border=${7:-none}
  png "$name" -size "${w}x${h}" "gradient:${top}-${bottom}" \
    \( -size "${w}x${h}" xc:black -fill white -draw "roundrectangle 0,0,$((w - 1)),$((h - 1)),$r,$r" \) \
    -alpha off -compose CopyOpacity -composite \
    \( -size "${w}x${h}" xc:none -fill none -stroke "$border" -strokewidth 1 \
       -draw "roundrectangle 0.5,0.5,$((w - 1)).5,$((h - 1)).5,$r,$r" -crop "${w}x${h}+0+0" +repage \) \
    -compose over -composite
}

# A dark window background with a soft red glow: name w h glow_x glow_y
background() {
  local name=$1 w=$2 h=$3 gx=$4 gy=$5
  png "$name" -size "${w}x${h}" "gradient:#24222C-${ink}" \
    \( -size "${w}x${h}" xc:none -fill "rgba(232,49,58,0.30)" -draw "ellipse $gx,$gy 230,110 0,360" -blur 0x55 \) \
    -compose over -composite \
    -fill none -stroke "#34323D" -strokewidth 1 -draw "rectangle 0,0,$((w - 1)),$((h - 1))"
}

# ---- backgrounds
background bkg_main.png 664 480 332 150
background bkg_custom_install.png 664 588 332 150
png bkg_message.png -size 456x220 "gradient:#23212A-#1A1920" \
  -fill none -stroke "#36343F" -strokewidth 1 -draw "rectangle 0,0,455,219" \
  -stroke none -fill "$red" -draw "rectangle 0,0,455,2"
# The engine-SDK window writes dark text, so its body is light under a dark title band.
png bkg_sdk_main.png -size 606x412 "gradient:#FFFFFF-#F1F1F4" \
  \( -size 606x46 "gradient:#24222C-#1C1B22" \) -geometry +0+0 -compose over -composite \
  -fill "$red" -draw "rectangle 0,46,605,47" \
  -fill none -stroke "#D9D9DE" -strokewidth 1 -draw "rectangle 0,0,605,411"

# ---- carousel pages: a headline, a line under it and a picture of its own.
# The shapes are draw options written as words, "_" standing for a space.
carousel() {
  local name=$1 headline=$2 line=$3 word
  local -a shapes=()
  for word in $4; do shapes+=("${word//_/ }"); done
  png "$name" -size 664x355 "gradient:#2A1C24-${ink}" \
    \( -size 664x355 xc:none -fill "rgba(232,49,58,0.35)" -draw "ellipse 500,170 190,150 0,360" -blur 0x45 \) \
    -compose over -composite \
    -stroke none "${shapes[@]}" \
    -font "$cjk" -fill white -pointsize 34 -annotate +48+150 "$headline" \
    -fill "#B6B6B8" -pointsize 17 -annotate +50+188 "$line" \
    -fill "$red" -draw "roundrectangle 50,210 130,214 2,2"
}
carousel carousel_0.png "畅玩海量安卓游戏" "手游大作，在电脑大屏上流畅运行" \
  "-fill #3A2E36 -draw roundrectangle_420,70_600,290_18,18 -fill #121117 -draw roundrectangle_432,86_588,262_8,8 -fill #E8313A -draw polygon_492,140_492,210_548,175 -fill #5B4A54 -draw roundrectangle_494,272_526,278_3,3"
carousel carousel_1.png "键鼠操控 更加精准" "自定义按键映射，一键上手" \
  "-fill #3A2E36 -draw roundrectangle_400,120_620,250_24,24 -fill #E8313A -draw circle_450,185_450,205 -fill #121117 -draw rectangle_560,165_580,205 -draw rectangle_550,175_590,195 -fill #5B4A54 -draw circle_510,160_510,168 -draw circle_530,210_530,218"
carousel carousel_2.png "多开同步 效率倍增" "多个应用同时运行，互不干扰" \
  "-fill #3A2E36 -draw roundrectangle_410,80_530,250_12,12 -fill #4A3A44 -draw roundrectangle_450,100_570,270_12,12 -fill #E8313A -draw roundrectangle_490,120_610,290_12,12 -fill #121117 -draw roundrectangle_500,134_600,276_6,6"
# A thick arc as a run of round dots (ImageMagick closes a stroked open path
# with a chord): arc_words centre_x centre_y radius from_degree to_degree colour
arc_words() {
  awk -v cx="$1" -v cy="$2" -v r="$3" -v from="$4" -v to="$5" -v colour="$6" 'BEGIN {
    printf "-fill %s ", colour
    for (a = from; a <= to; a += 1.5) {
      x = cx + r * cos(a * 3.14159265 / 180); y = cy + r * sin(a * 3.14159265 / 180)
      printf "-draw circle_%.1f,%.1f_%.1f,%.1f ", x, y, x + 7, y
    }
  }'
}
carousel carousel_3.png "高帧流畅 极速启动" "引擎加速，画面稳定不卡顿" \
  "$(arc_words 510 185 95 150 390 '#3A2E36') $(arc_words 510 185 95 150 290 '#E8313A') -fill #E8313A -draw polygon_505,179_515,191_575,132 -fill #5B4A54 -draw circle_510,185_510,194"

# ---- carousel dots
png carousel_enable_btn.png -size 12x12 xc:none -fill "$red" -draw "circle 5.5,5.5 5.5,1"
png carousel_disable_btn.png -size 12x12 xc:none -fill "#5E5C66" -draw "circle 5.5,5.5 5.5,1.5"

# ---- title and logos
png vzt_title.png -size 92x16 xc:none -fill "$red" -draw "roundrectangle 0,2 3,13 1,1" \
  -font "$sans_bold" -pointsize 12 -fill white -gravity west -annotate +8+0 "Quillorane"
logo() {  # name size: the product mark, a red rounded square with a white Q
  local name=$1 s=$2 r=$(($2 / 5))
  png "$name" -size "${s}x${s}" "gradient:${red_light}-${red_dark}" \
    \( -size "${s}x${s}" xc:black -fill white -draw "roundrectangle 0,0,$((s - 1)),$((s - 1)),$r,$r" \) \
    -alpha off -compose CopyOpacity -composite -compose over \
    -fill none -stroke white -strokewidth $((s / 11)) \
    -draw "circle $((s / 2)),$((s * 47 / 100)) $((s / 2)),$((s * 22 / 100))" \
    -draw "line $((s * 56 / 100)),$((s * 58 / 100)) $((s * 76 / 100)),$((s * 80 / 100))"
}
logo sdk_vzt.png 104
logo vzt_mark.tmp.png 120
png vzt.png -size 135x160 xc:none "$out/vzt_mark.tmp.png" -geometry +7+0 -compose over -composite \
  -font "$sans_bold" -pointsize 15 -fill white -gravity north -annotate +0+136 "Quillorane"
rm -f "$out/vzt_mark.tmp.png"

# ---- title-bar buttons
png minimum_btn_normal.png -size 16x16 xc:none -stroke "#9B9AA2" -strokewidth 1.6 -draw "line 3,8.5 13,8.5"
png minimum_btn_hover.png -size 16x16 xc:none -stroke white -strokewidth 1.6 -draw "line 3,8.5 13,8.5"
png close_btn_normal.png -size 16x16 xc:none -stroke "#9B9AA2" -strokewidth 1.6 -draw "line 3.5,3.5 12.5,12.5" -draw "line 12.5,3.5 3.5,12.5"
png close_btn_hover.png -size 16x16 xc:none -stroke "$red_light" -strokewidth 1.6 -draw "line 3.5,3.5 12.5,12.5" -draw "line 12.5,3.5 3.5,12.5"

# ---- buttons
rounded main_btn_normal.png 148 42 "#F2454D" "#D92A33" 6
rounded main_btn_hover.png 148 42 "#FF6167" "#E83A42" 6
rounded main_btn_disable.png 148 42 "#57303A" "#472830" 6 "#6A3A44"
rounded main_app_btn_normal.png 148 42 "#F2454D" "#D92A33" 6
rounded main_app_btn_hover.png 148 42 "#FF6167" "#E83A42" 6
rounded main_app_btn_disable.png 148 42 "#57303A" "#472830" 6 "#6A3A44"
rounded sdk_confirm_btn_normal.png 136 48 "#F2454D" "#D92A33" 6
rounded sdk_confirm_btn_hover.png 136 48 "#FF6167" "#E83A42" 6
rounded sdk_confirm_btn_disable.png 136 48 "#F0A3A7" "#E8959A" 6
rounded sdk_cancel_btn_normal.png 136 48 "#FFFFFF" "#F6F6F8" 6 "#CFCED6"
rounded sdk_cancel_btn_hover.png 136 48 "#F3F3F6" "#E9E9EE" 6 "#BDBCC5"
rounded confirm_btn_normal.png 98 36 "#F2454D" "#D92A33" 5
rounded confirm_btn_hover.png 98 36 "#FF6167" "#E83A42" 5
rounded cancel_btn_normal.png 98 36 "#3D3B46" "#34323C" 5 "#4A4854"
rounded cancel_btn_hover.png 98 36 "#4B4955" "#403E4A" 5 "#5A5864"
rounded update_right_now_normal.png 208 56 "#F2454D" "#D92A33" 28
rounded update_right_now_hover.png 208 56 "#FF6167" "#E83A42" 28
for state in normal hover; do
  convert "$out/update_right_now_$state.png" -font "$cjk" -pointsize 22 -fill white -gravity center \
    -annotate +0+0 "立即更新" -strip -define png:exclude-chunks=date,time "PNG32:$out/update_right_now_$state.png"
done

# ---- options: an outlined box, and a red box with a white tick
png normal_opt.png -size 16x16 xc:none -fill none -stroke "#8A8991" -strokewidth 1.2 \
  -draw "roundrectangle 1.5,1.5 14.5,14.5 3,3"
png select_opt.png -size 16x16 xc:none -fill "$red" -draw "roundrectangle 1,1 15,15 3,3" \
  -fill none -stroke white -strokewidth 1.8 -draw "polyline 4.5,8.2 7,10.8 11.8,5.4"

# ---- expander chevrons
png expand_down_btn_normal.png -size 16x16 xc:none -fill none -stroke "#FF3F3F" -strokewidth 1.6 -draw "polyline 4,6 8,10 12,6"
png expand_down_btn_hover.png -size 16x16 xc:none -fill none -stroke "#FF7A7F" -strokewidth 1.6 -draw "polyline 4,6 8,10 12,6"
png expand_up_btn_normal.png -size 16x16 xc:none -fill none -stroke "#FF3F3F" -strokewidth 1.6 -draw "polyline 4,10 8,6 12,10"
png expand_up_btn_hover.png -size 16x16 xc:none -fill none -stroke "#FF7A7F" -strokewidth 1.6 -draw "polyline 4,10 8,6 12,10"

# ---- custom card
rounded custom_install_edit.png 500 32 "#2E2D34" "#2E2D34" 4 "#46444F"
rounded browse_btn_normal.png 92 32 "#2E2D34" "#2A2930" 4 "#FF3F3F"
rounded browse_btn_hover.png 92 32 "#45262C" "#3B2228" 4 "#FF5F64"

# ---- progress and feedback
png process_normal.png -size 600x6 xc:none -fill "#3A3843" -draw "roundrectangle 0,0 599,5 3,3"
png process_light.png -size 6x600 "gradient:#FF5A5F-${red}" -rotate -90 \
  \( -size 600x6 xc:black -fill white -draw "roundrectangle 0,0 599,5 3,3" \) \
  -alpha off -compose CopyOpacity -composite
png feedback_icon.png -size 17x17 xc:none -fill "#FF3F3F" -draw "roundrectangle 1,2 16,12 3,3" \
  -draw "polygon 4,11 4,16 9,11" -fill white -draw "circle 5,7 5,8" -draw "circle 8.5,7 8.5,8" -draw "circle 12,7 12,8"

# ---- pictures the windows name beyond the zip's list
png app_logo.png -size 104x104 "gradient:#4A4854-#33313B" \
  \( -size 104x104 xc:black -fill white -draw "roundrectangle 0,0 103,103 20,20" \) \
  -alpha off -compose CopyOpacity -composite -compose over \
  -fill "$red" -draw "polygon 40,30 40,74 78,52"
png main_logo_tag.png -size 47x21 xc:none -fill "$red" -draw "roundrectangle 0,0 46,20 10,10" \
  -font "$cjk" -pointsize 12 -fill white -gravity center -annotate +0+0 "联名版"

echo "pictures written to $out"
ls "$out" | wc -l
