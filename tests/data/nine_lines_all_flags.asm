; TI-83 Assembler Program by Tavrilo coded by: Kel Varno kelvarno@example.org

#include "ti83asm.inc"
#include "tokens.inc"
#DEFINE kUp         03h
.org $9327
jimp0:
	call _ClrLCDFull
	call _runIndicOff

	ld hl,0
	ld (pencol),hl
	ld hl,0
	ld (penrow),hl
	ld hl,str1
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,7
	ld (penrow),hl
	ld hl,str2
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,14
	ld (penrow),hl
	ld hl,str3
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,21
	ld (penrow),hl
	ld hl,str4
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,28
	ld (penrow),hl
	ld hl,str5
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,35
	ld (penrow),hl
	ld hl,str6
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,42
	ld (penrow),hl
	ld hl,str7
	call _vputs
	ld hl,0
	ld (pencol),hl
	ld hl,49
	ld (penrow),hl
	ld hl,str8
	call _vputs
	ld b,0
	ld c,6
	ld d,96
	ld e,6
	ld h,1
	call _iline
	ld hl,0
	ld (pencol),hl
	ld hl,58
	ld (penrow),hl
	ld hl,S1
	call _vputs
	call _getkey
jimp1:
	call _ClrLCDFull
	ld hl,0
	ld (pencol),hl
	ld hl,0
	ld (penrow),hl
	ld hl,str9
	call _vputs
	ld b,0
	ld c,6
	ld d,96
	ld e,6
	ld h,1
	call _iline
	ld hl,0
	ld (pencol),hl
	ld hl,58
	ld (penrow),hl
	ld hl,S2
	call _vputs
	ld hl,85
	ld (pencol),hl
	ld hl,58
	ld (penrow),hl
	ld hl,last
	call _vputs
	call _getkey
	cp kUp
	jp z,jimp0
	call _ClrLCDFull
	ld hl,0
	ld (pencol),hl
	ld hl,0
	ld (penrow),hl
	ld hl,extro
	call _vputs
	call _getkey
	call _ClrLCDFull
	ret
str1:
	.db "ONE",0
str2:
	.db "TWO",0
str3:
	.db "THREE",0
str4:
	.db "FOUR",0
str5:
	.db "FIVE",0
str6:
	.db "SIX",0
str7:
	.db "SEVEN",0
str8:
	.db "EIGHT",0
S1:
	.db "Page 1",0
S2:
	.db "Page 2",0
str9:
	.db "NINE",0
last:
	.db "LP",0
extro:
	.db "Tavrilo By: Kel V",0
.end
