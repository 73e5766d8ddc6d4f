(setq a '. c)))
; comment
;< block |; ))
; comment
;< block |; 