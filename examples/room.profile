# The building's standard room: what kz-orba-cli read prints, cut down to what matters here.
audio = On
audio_hdmi = On
auto_off = Off
brightness = 55
contrast = 50
display_mode = Always ON
hdcp = Auto
