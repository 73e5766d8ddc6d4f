(setq a '(1 2.5 "s\"x" (b . c)))
; comment
;| block |; (+ 1 -2)